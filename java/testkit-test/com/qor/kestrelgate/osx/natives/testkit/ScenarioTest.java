package com.qor.kestrelgate.osx.natives.testkit;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qor.kestrelgate.osx.natives.testkit.Scenario.Assessment;
import com.qor.kestrelgate.osx.natives.testkit.Scenario.Display;
import com.qor.kestrelgate.osx.natives.testkit.Scenario.InputEvent;
import com.qor.kestrelgate.osx.natives.testkit.Scenario.Window;
import java.math.BigInteger;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;

/** The scenario builder takes what the library takes and refuses the rest at the call. */
class ScenarioTest {
  private record Rejected(String name, Executable call, String key) {}

  private static Scenario.Builder builder() {
    return Scenario.builder();
  }

  @Test
  void refusesWhatTheLibraryWouldRejectNamingTheKey() {
    Rejected[] rows = {
      new Rejected("unknown key", () -> builder().set("displayz", List.of()), "\"displayz\""),
      new Rejected("key of the wrong type", () -> builder().set("keyWindowTitle", 7),
          "\"keyWindowTitle\""),
      new Rejected("null value", () -> builder().set("keyWindowTitle", null),
          "\"keyWindowTitle\""),
      new Rejected("version as a number", () -> builder().set("osVersion", 14),
          "\"osVersion\""),
      new Rejected("version with a letter", () -> builder().osVersion("14.x"), "\"osVersion\""),
      new Rejected("version of four parts", () -> builder().osVersion("14.2.1.5"),
          "\"osVersion\""),
      new Rejected("version part beyond int64", () -> builder().osVersion("99999999999999999999"),
          "\"osVersion\""),
      new Rejected("negative pid",
          () -> builder().runningApplication(-1, "Zoom", "us.zoom.xos"),
          "\"runningApplications[0].pid\""),
      new Rejected("pid beyond int32",
          () -> builder().runningApplication(1L << 31, null, null),
          "\"runningApplications[0].pid\""),
      new Rejected("launch of pid 0", () -> builder().applicationLaunch(0, "a", "A", false),
          "\"applicationLaunches[0].pid\""),
      new Rejected("window of a negative pid",
          () -> builder().set("windows", List.of(Map.of("ownerPid", -5))),
          "\"windows[0].ownerPid\""),
      new Rejected("camera status 4", () -> builder().cameraPermission(4),
          "\"permissions.camera\""),
      new Rejected("microphone status -1", () -> builder().microphonePermission(-1),
          "\"permissions.microphone\""),
      new Rejected("answer as text",
          () -> builder().set("permissions", Map.of("cameraRequestGranted", "yes")),
          "\"permissions.cameraRequestGranted\""),
      new Rejected("negative polls", () -> builder().accessibility(false, -1),
          "\"permissions.accessibilityGrantedAfterPolls\""),
      new Rejected("negative display id", () -> Display.of(-1, "Projector"),
          "\"displays[].id\""),
      new Rejected("display id beyond 32 bits", () -> Display.of(1L << 32, "Projector"),
          "\"displays[].id\""),
      new Rejected("display without id",
          () -> builder().set("displays", List.of(Map.of("name", "Projector"))),
          "\"displays[0]\": needs \"id\""),
      new Rejected("unknown display member",
          () -> builder().set("displays", List.of(Map.of("id", 1, "colour", "red"))),
          "unknown member \"colour\""),
      new Rejected("display error beyond int32",
          () -> builder().set("displayErrors", Map.of("CGGetOnlineDisplayList", 1L << 31)),
          "\"displayErrors.CGGetOnlineDisplayList\""),
      new Rejected("keyDown without key code",
          () -> builder().set("inputEvents", List.of(Map.of("type", "keyDown"))),
          "\"inputEvents[0]\": a keyDown needs \"keyCode\""),
      new Rejected("key code beyond 16 bits", () -> InputEvent.keyDown(70000, 0),
          "\"inputEvents[].keyCode\""),
      new Rejected("negative modifier flags", () -> InputEvent.keyDown(12, -1),
          "\"inputEvents[].modifierFlags\""),
      new Rejected("unknown event type",
          () -> builder().set("inputEvents", List.of(Map.of("type", "keyUp", "keyCode", 1))),
          "\"inputEvents[0].type\""),
      new Rejected("event class of three letters", () -> builder().appleEvent("GUR", "GURL", "x"),
          "\"appleEvents[0].eventClass\""),
      new Rejected("event id not ASCII", () -> builder().appleEvent("GURL", "GURé", "x"),
          "\"appleEvents[0].eventID\""),
      new Rejected("interface not text",
          () -> builder().set("networkInterfaces", List.of("en0", 7)),
          "\"networkInterfaces[1]\""),
      new Rejected("USB product as a number", () -> builder().set("usbProducts", List.of(1.5)),
          "\"usbProducts[0]\""),
      new Rejected("sharing type 3", () -> builder().hostWindow(1, 3),
          "\"hostWindows[0].sharingType\""),
      new Rejected("window bounds incomplete",
          () -> builder().window(Window.ownedBy(7).put("bounds", Map.of("x", 0, "y", 0))),
          "\"windows[].bounds\": needs \"width\""),
      new Rejected("begin counted from 0",
          () -> new Assessment().beginError(new Assessment.Error("d", 1, "x"), 0),
          "\"assessment.beginError.begins[0]\""),
      new Rejected("interruption without after",
          () -> builder().set("assessment", Map.of("interruption", Map.of("code", 1))),
          "\"assessment.interruption\": needs \"after\""),
      new Rejected("hot keys without disabled", () -> builder().set("symbolicHotKeys", Map.of()),
          "\"symbolicHotKeys\": needs \"disabled\""),
      new Rejected("unknown private function",
          () -> builder().set("privateFunctions", Map.of("missingFunctions", List.of("CGSFoo"))),
          "\"privateFunctions.missingFunctions[0]\""),
      new Rejected("frontmost application not running",
          () -> builder().runningApplication(7, "Zoom", "us.zoom.xos")
              .currentApplication(null, "com.qor.kestrelgate", null)
              .frontmostApplication("com.apple.Safari").build(),
          "\"frontmostApplication\""),
      new Rejected("integer beyond long",
          () -> builder().set("machine", Map.of("hvVmmPresent", BigInteger.TWO.pow(64))),
          "\"machine.hvVmmPresent\""),
    };
    for (Rejected row : rows) {
      IllegalArgumentException thrown =
          assertThrows(IllegalArgumentException.class, row.call(), row.name());
      assertTrue(thrown.getMessage().contains(row.key()), row.name() + ": " + thrown.getMessage());
    }
  }

  @Test
  void frontmostApplicationMayBeARunningOneOrTheBrowser() {
    Scenario.Builder running = builder().runningApplication(7, "Zoom", "us.zoom.xos");
    running.frontmostApplication("us.zoom.xos").build();
    builder().currentApplication("Kestrelgate", "com.qor.kestrelgate", null)
        .frontmostApplication("com.qor.kestrelgate").build();
  }

  @Test
  void aRefusedCallLeavesTheBuilderAsItWas() {
    Scenario.Builder builder = builder().networkInterfaces("utun0").cameraPermission(0);
    assertThrows(IllegalArgumentException.class,
        () -> builder.set("networkInterfaces", List.of("en0", false)));
    assertThrows(IllegalArgumentException.class, () -> builder.cameraPermission(9));
    assertEquals(Map.of("networkInterfaces", List.of("utun0"), "permissions", Map.of("camera", 0L)),
        builder.build().keys());
  }

  @Test
  void builtScenarioIsTheJsonTheLibraryReads() {
    Scenario.Builder builder = builder()
        .display(Display.of(1, "Built-in").main().builtin())
        .display(Display.of(3, "Mirror").mirrorOf(1))
        .usbProducts("USB Optical Mouse", null)
        .missingFunction(Scenario.PrivateFunction.CoreDockSetExposeCornerAction)
        .missingFunction(Scenario.PrivateFunction.CGSIsSymbolicHotKeyEnabled)
        .displayError(Scenario.DisplayQuery.CGGetActiveDisplayList, 1001)
        .inputEvent(InputEvent.gesture().global());
    Scenario first = builder.build();
    builder.urlEvent("kestrel://exam");

    Object parsed = Json.parse(first.toJson());
    assertEquals(Map.of(
        "displays", List.of(
            Map.of("id", 1L, "name", "Built-in", "main", true, "builtin", true),
            Map.of("id", 3L, "name", "Mirror", "mirrorOf", 1L, "active", false)),
        "usbProducts", java.util.Arrays.asList("USB Optical Mouse", null),
        "privateFunctions", Map.of("missingFunctions",
            List.of("CoreDockSetExposeCornerAction", "CGSIsSymbolicHotKeyEnabled")),
        "displayErrors", Map.of("CGGetActiveDisplayList", 1001L),
        "inputEvents", List.of(Map.of("type", "gesture", "global", true))), parsed);
    // A built scenario is not changed by later calls on its builder.
    assertEquals(parsed, first.keys());
    assertTrue(builder.build().keys().containsKey("appleEvents"));
    assertThrows(UnsupportedOperationException.class, () -> first.keys().remove("displays"));
  }
}
