package com.qor.kestrelgate.osx.natives.testkit;

import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.Map;

/**
 * One line of the simulated desktop's journal: one effect on the desktop, such as {@code
 * {"service":"NSApplication","call":"setPresentationOptions:","args":{"options":442}}}.
 *
 * <p>JSON values are Long (integers), Double, String, Boolean, null, read-only List and Map.
 *
 * @param service the service or function that acted, such as "CoreGraphics"
 * @param call the selector or function, such as "CGDisplayCapture"
 * @param args the call's arguments by name; read-only
 * @param extras the line's other top-level members ("result", "monitor", "monitors"); read-only
 * @param raw the line as the library wrote it
 */
public record JournalEntry(
    String service, String call, Map<String, Object> args, Map<String, Object> extras,
    String raw) {
  /**
   * Reads one journal line.
   *
   * @param line one JSON object with text "service" and "call" and an object "args"
   * @return the entry
   * @throws IllegalArgumentException when the line is not such an object
   */
  public static JournalEntry parse(String line) {
    if (!(Json.parse(line) instanceof Map<?, ?> root)
        || !(root.get("service") instanceof String service)
        || !(root.get("call") instanceof String call)
        || !(root.get("args") instanceof Map<?, ?> args)) {
      throw new IllegalArgumentException("not a journal line: " + line);
    }
    Map<String, Object> extras = new LinkedHashMap<>();
    root.forEach((key, value) -> extras.put((String) key, value));
    extras.keySet().removeAll(java.util.List.of("service", "call", "args"));
    @SuppressWarnings("unchecked")
    Map<String, Object> typedArgs = (Map<String, Object>) args;
    return new JournalEntry(service, call, typedArgs, Collections.unmodifiableMap(extras), line);
  }

  /**
   * Whether the entry is this call.
   *
   * @param service the service
   * @param call the call
   * @return true when both match exactly
   */
  public boolean is(String service, String call) {
    return this.service.equals(service) && this.call.equals(call);
  }

  /**
   * An integer argument.
   *
   * @param name the argument's name
   * @return its value
   * @throws IllegalArgumentException when absent or not an integer
   */
  public long longArg(String name) {
    return typed(name, Long.class);
  }

  /**
   * A text argument.
   *
   * @param name the argument's name
   * @return its value
   * @throws IllegalArgumentException when absent or not text
   */
  public String stringArg(String name) {
    return typed(name, String.class);
  }

  /**
   * A true-or-false argument.
   *
   * @param name the argument's name
   * @return its value
   * @throws IllegalArgumentException when absent or not true or false
   */
  public boolean booleanArg(String name) {
    return typed(name, Boolean.class);
  }

  private <T> T typed(String name, Class<T> type) {
    Object value = args.get(name);
    if (!type.isInstance(value)) {
      throw new IllegalArgumentException("argument \"" + name + "\" of " + service + " " + call
          + " is not " + type.getSimpleName() + ": " + raw);
    }
    return type.cast(value);
  }

  /** Returns the raw line. */
  @Override
  public String toString() {
    return raw;
  }
}
