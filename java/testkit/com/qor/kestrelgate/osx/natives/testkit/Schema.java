package com.qor.kestrelgate.osx.natives.testkit;

import java.math.BigInteger;
import java.util.ArrayList;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.function.BiConsumer;
import java.util.regex.Pattern;

/**
 * The scenario keys the simulated desktop reads, each with the JSON shape it takes. A value is
 * checked before it enters a scenario, so a mistake fails at the call that makes it, with the
 * key's path ({@code displays[1].id}) in the message.
 */
final class Schema {
  private Schema() {}

  /** Checks one value and returns it normalised: integers as Long, read-only lists and maps. */
  interface Check {
    Object check(String path, Object value);
  }

  static IllegalArgumentException reject(String path, String problem) {
    return new IllegalArgumentException("scenario key \"" + path + "\": " + problem);
  }

  private static String shown(Object value) {
    return value instanceof String text ? "\"" + text + "\""
        : value == null ? "null" : value.toString();
  }

  static Check text() {
    return (path, value) -> {
      if (!(value instanceof String)) {
        throw reject(path, "expected text, got " + shown(value));
      }
      return value;
    };
  }

  static Check flag() {
    return (path, value) -> {
      if (!(value instanceof Boolean)) {
        throw reject(path, "expected true or false, got " + shown(value));
      }
      return value;
    };
  }

  /** An integer from {@code min} to {@code max}. */
  static Check integer(long min, long max) {
    return (path, value) -> {
      BigInteger number = integral(value);
      if (number == null || number.compareTo(BigInteger.valueOf(min)) < 0
          || number.compareTo(BigInteger.valueOf(max)) > 0) {
        throw reject(path, "expected an integer from " + min + " to " + max + ", got "
            + shown(value));
      }
      return number.longValue();
    };
  }

  /** Any finite number, integer or not, at least {@code min}. */
  static Check number(double min) {
    return (path, value) -> {
      BigInteger whole = integral(value);
      if (whole != null && whole.bitLength() < Long.SIZE && whole.longValue() >= min) {
        return whole.longValue();
      }
      if ((value instanceof Double || value instanceof Float)
          && Double.isFinite(((Number) value).doubleValue())
          && ((Number) value).doubleValue() >= min) {
        return ((Number) value).doubleValue();
      }
      throw reject(path, "expected a number" + (min > -Double.MAX_VALUE ? " from " + min : "")
          + ", got " + shown(value));
    };
  }

  private static BigInteger integral(Object value) {
    if (value instanceof Long || value instanceof Integer || value instanceof Short
        || value instanceof Byte) {
      return BigInteger.valueOf(((Number) value).longValue());
    }
    return value instanceof BigInteger big ? big : null;
  }

  static Check oneOf(String... choices) {
    Set<String> allowed = Set.of(choices);
    return (path, value) -> {
      if (!(value instanceof String text) || !allowed.contains(text)) {
        throw reject(path, "expected one of " + String.join(", ", choices) + ", got "
            + shown(value));
      }
      return value;
    };
  }

  static Check matching(Pattern pattern, String description) {
    return (path, value) -> {
      if (!(value instanceof String text) || !pattern.matcher(text).matches()) {
        throw reject(path, "expected " + description + ", got " + shown(value));
      }
      return value;
    };
  }

  static Check nullable(Check check) {
    return (path, value) -> value == null ? null : check.check(path, value);
  }

  static ListCheck list(Check element) {
    return new ListCheck(element);
  }

  static ObjectCheck object() {
    return new ObjectCheck();
  }

  /** A JSON array whose elements all pass one check. */
  static final class ListCheck implements Check {
    final Check element;

    ListCheck(Check element) {
      this.element = element;
    }

    @Override
    public Object check(String path, Object value) {
      if (!(value instanceof List<?> list)) {
        throw reject(path, "expected a list, got " + shown(value));
      }
      List<Object> checked = new ArrayList<>(list.size());
      for (int i = 0; i < list.size(); i++) {
        checked.add(element.check(path + "[" + i + "]", list.get(i)));
      }
      return Collections.unmodifiableList(checked);
    }
  }

  /** A JSON object with known members, some required, and an optional check of the whole. */
  static final class ObjectCheck implements Check {
    private final Map<String, Check> members = new LinkedHashMap<>();
    private final List<String> required = new ArrayList<>();
    private BiConsumer<String, Map<String, Object>> whole = (path, map) -> { };

    ObjectCheck with(String name, Check check) {
      members.put(name, check);
      return this;
    }

    ObjectCheck withRequired(String name, Check check) {
      required.add(name);
      return with(name, check);
    }

    ObjectCheck also(BiConsumer<String, Map<String, Object>> check) {
      whole = check;
      return this;
    }

    /** Checks the member {@code name} alone; {@code path} names the object. */
    Object member(String path, String name, Object value) {
      Check check = members.get(name);
      if (check == null) {
        throw reject(path, "unknown member \"" + name + "\"; known: "
            + String.join(", ", members.keySet()));
      }
      return check.check(path + "." + name, value);
    }

    /** The check of the member {@code name}, which must be known. */
    Check memberCheck(String name) {
      return members.get(name);
    }

    @Override
    public Object check(String path, Object value) {
      if (!(value instanceof Map<?, ?> map)) {
        throw reject(path, "expected an object, got " + shown(value));
      }
      Map<String, Object> checked = new LinkedHashMap<>();
      for (Map.Entry<?, ?> entry : map.entrySet()) {
        if (!(entry.getKey() instanceof String name)) {
          throw reject(path, "member names are text, not " + shown(entry.getKey()));
        }
        checked.put(name, member(path, name, entry.getValue()));
      }
      for (String name : required) {
        if (checked.get(name) == null) {
          throw reject(path, "needs \"" + name + "\"");
        }
      }
      whole.accept(path, checked);
      return Collections.unmodifiableMap(checked);
    }
  }

  private static final long INT32_MAX = Integer.MAX_VALUE;
  private static final long UINT32_MAX = 0xFFFF_FFFFL;

  /** Four ASCII characters, as an Apple event class or id. */
  private static final Check FOUR_CHARACTER_CODE =
      matching(Pattern.compile("[\\x00-\\x7F]{4}"), "four ASCII characters");

  private static ObjectCheck assessmentError() {
    return object().with("domain", text()).with("code", integer(Long.MIN_VALUE, Long.MAX_VALUE))
        .with("description", text());
  }

  /** Every key the simulated desktop reads, in the order the README lists them. */
  static final Map<String, Check> KEYS = Map.ofEntries(
      Map.entry("currentApplication", object().with("localizedName", text())
          .with("bundleIdentifier", text()).with("bundleName", text())),
      Map.entry("runningApplications", list(object()
          .withRequired("pid", integer(0, INT32_MAX))
          .with("localizedName", text()).with("bundleIdentifier", text()))),
      Map.entry("frontmostApplication", text()),
      Map.entry("keyWindowTitle", text()),
      Map.entry("infoPlist", text()),
      Map.entry("windows", list(object()
          .with("ownerPid", number(0)).with("onScreen", flag())
          .with("windowNumber", integer(Long.MIN_VALUE, Long.MAX_VALUE))
          .with("ownerName", text())
          .with("layer", integer(Long.MIN_VALUE, Long.MAX_VALUE))
          .with("alpha", number(0))
          .with("sharingState", integer(0, 2))
          .with("bounds", object().withRequired("x", number(-Double.MAX_VALUE))
              .withRequired("y", number(-Double.MAX_VALUE))
              .withRequired("width", number(0)).withRequired("height", number(0))))),
      Map.entry("displays", list(object()
          .withRequired("id", integer(0, UINT32_MAX)).with("name", text())
          .with("main", flag()).with("online", flag()).with("active", flag())
          .with("builtin", flag()).with("mirrorOf", integer(0, UINT32_MAX))
          .with("vendor", integer(0, UINT32_MAX)).with("model", integer(0, UINT32_MAX))
          .with("serial", integer(0, UINT32_MAX))
          .with("widthMm", number(0)).with("heightMm", number(0))
          .with("pixelsWide", integer(0, Long.MAX_VALUE))
          .with("pixelsHigh", integer(0, Long.MAX_VALUE)))),
      Map.entry("displayErrors", object()
          .with("CGGetOnlineDisplayList", integer(Integer.MIN_VALUE, INT32_MAX))
          .with("CGGetActiveDisplayList", integer(Integer.MIN_VALUE, INT32_MAX))),
      Map.entry("symbolicHotKeys", object()
          .withRequired("disabled", list(integer(Integer.MIN_VALUE, INT32_MAX)))),
      Map.entry("privateFunctions", object()
          .with("missingBundles", list(text())).with("unloadableBundles", list(text()))
          .with("missingFunctions", list(oneOf(Scenario.PrivateFunction.names())))),
      Map.entry("notificationCenterDelegate", text()),
      Map.entry("networkInterfaces", list(text())),
      Map.entry("usbProducts", list(nullable(text()))),
      Map.entry("permissions", object()
          .with("camera", integer(0, 3)).with("microphone", integer(0, 3))
          .with("cameraRequestGranted", flag()).with("microphoneRequestGranted", flag())
          .with("accessibilityTrusted", flag())
          .with("accessibilityGrantedAfterPolls", integer(0, INT32_MAX))),
      // Text only: a number such as 10.10 would reach the library as 10.1.
      Map.entry("osVersion", matching(Pattern.compile("\\d{1,18}(\\.\\d{1,18}){0,2}"),
          "a version such as \"14.2\" (major[.minor[.patch]])")),
      Map.entry("inputEvents", list(object()
          .withRequired("type", oneOf("keyDown", "otherMouseDown", "gesture", "pressure"))
          .with("keyCode", integer(0, 65535))
          .with("modifierFlags", integer(0, Long.MAX_VALUE))
          .with("global", flag())
          .also((path, event) -> {
            if ("keyDown".equals(event.get("type")) && event.get("keyCode") == null) {
              throw reject(path, "a keyDown needs \"keyCode\"");
            }
          }))),
      Map.entry("appleEvents", list(object()
          .withRequired("eventClass", FOUR_CHARACTER_CODE)
          .withRequired("eventID", FOUR_CHARACTER_CODE)
          .withRequired("url", text()))),
      Map.entry("assessment", object()
          .with("entitled", flag()).with("supportsMultipleParticipants", flag())
          .with("supportsConfigurationUpdates", flag())
          .with("beginError", assessmentError()
              .with("begins", list(integer(1, Long.MAX_VALUE))))
          .with("updateError", assessmentError())
          .with("interruption", assessmentError()
              .withRequired("after", oneOf("begin", "update")))),
      Map.entry("machine", object()
          .with("hvVmmPresent", integer(Long.MIN_VALUE, Long.MAX_VALUE))
          .with("hwModel", text()).with("platformModel", text())
          .with("platformManufacturer", text())),
      Map.entry("cameras", list(object()
          .with("uniqueID", text()).with("localizedName", text()).with("modelID", text())
          .with("manufacturer", text()).with("deviceType", text())
          .with("continuityCamera", flag()))),
      Map.entry("hostWindows", list(object()
          .withRequired("windowNumber", integer(Long.MIN_VALUE, Long.MAX_VALUE))
          .with("sharingType", integer(0, 2)))),
      Map.entry("applicationLaunches", list(object()
          .withRequired("pid", integer(1, INT32_MAX))
          .with("bundleIdentifier", text()).with("localizedName", text())
          .with("terminated", flag()))));

  /** The check of a top-level key. */
  static Check key(String key) {
    Check check = KEYS.get(key);
    if (check == null) {
      throw new IllegalArgumentException("unknown scenario key \"" + key + "\"");
    }
    return check;
  }
}
