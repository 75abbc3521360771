package com.qor.kestrelgate.osx.natives.testkit;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qor.kestrelgate.osx.natives.testkit.Scenario.Display;
import com.qor.kestrelgate.osx.natives.testkit.Scenario.InputEvent;
import com.qor.kestrelgate.osx.natives.testkit.Scenario.Window;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Duration;
import java.util.List;
import java.util.Map;
import java.util.concurrent.TimeoutException;
import org.junit.jupiter.api.Test;

/** A browser's code on a staged desktop, checked through the typed journal. */
class SimulatedDesktopTest {
  private static final String AGENT =
      "/System/Library/LaunchAgents/com.apple.notificationcenterui.plist";

  @Test
  void examStartLocksTheStagedDesktopAndUnlocksIt() throws Exception {
    Scenario scenario = Scenario.builder()
        .display(Display.of(1, "Built-in Retina Display").main())
        .display(Display.of(2, "Projector"))
        .networkInterfaces("lo", "en0", "utun3")
        .inputEvent(InputEvent.keyDown(InputEvent.KEY_Q, InputEvent.COMMAND))
        .urlEvent("kestrel://exam/42?seat=7")
        .infoPlist(Map.of("KGExamServer", "https://exam.example"))
        .build();
    Path folder;
    try (SimulatedDesktop desktop = SimulatedDesktop.stage(scenario)) {
      folder = desktop.folder();
      Run run = desktop.run(ExamChild.class);

      assertEquals(0, run.exitCode(), run.stdout() + run.stderr());
      assertEquals(List.of(), run.jniWarnings());
      assertEquals(List.of(), run.desktopWarnings());
      List<String> out = run.stdout().lines().filter(line -> !line.startsWith("  ")).toList();
      assertEquals(List.of("displays 2", "vpn 1", "server https://exam.example",
          "close requested", "url kestrel://exam/42?seat=7"), out);

      Journal journal = run.journal();
      assertEquals(442, journal.first("NSApplication", "setPresentationOptions:").orElseThrow()
          .longArg("options"));
      // Typed arguments and the line's extras, as the journal reader gives them.
      JournalEntry key = journal.first("NSEvent", "deliver").orElseThrow();
      assertEquals(InputEvent.KEY_Q, key.longArg("keyCode"));
      assertEquals("swallowed", key.extras().get("result"));

      // The stand-ins printed the lockdown's commands, with the desktop's own home in them.
      List<String> commands = run.standInCommands();
      String byHost = desktop.home() + "/Library/Preferences/ByHost/com.apple.notificationcenterui";
      assertEquals("defaults -currentHost write " + byHost + " doNotDisturb -boolean true",
          commands.get(0));
      assertTrue(commands.containsAll(List.of("launchctl unload -w " + AGENT,
          "killall NotificationCenter", "launchctl load -w " + AGENT,
          "open /System/Library/CoreServices/NotificationCenter.app")), commands.toString());

      // Each run is a new process that reads the same scenario: the same effects again, in
      // the desktop's journal after the first run's, and in the run's own journal alone.
      Run again = desktop.run(ExamChild.class);
      assertEquals(0, again.exitCode(), again.stdout() + again.stderr());
      assertEquals(journal.lines().stream().sorted().toList(),
          again.journal().lines().stream().sorted().toList());
      assertEquals(journal.entries().size() * 2, desktop.journal().entries().size());
    }
    assertFalse(Files.exists(folder));
  }

  /** Every typed call at once: the library takes each value without a warning, and uses it. */
  @Test
  void everyTypedCallGivesWhatTheLibraryTakes() throws Exception {
    Scenario scenario = Scenario.builder()
        .currentApplication("Kestrelgate", "com.qor.kestrelgate", "Kestrelgate")
        .runningApplication(4242, "Zoom", "us.zoom.xos")
        .runningApplication(0, "Kestrelgate", "com.qor.kestrelgate")
        .runningApplication(5151, "iPhone Mirroring", "com.apple.ScreenContinuity")
        .frontmostApplication("us.zoom.xos")
        .keyWindowTitle("ExamWindow")
        .infoPlist(Map.of("KGExamServer", "https://exam.example"))
        .window(Window.ownedBy(4242).number(31).ownerName("Zoom").layer(3).alpha(0.5)
            .sharingState(0).bounds(0, 0, 400, 300))
        .window(Window.ownedBy(0).offScreen())
        .display(Display.of(1, "Built-in").main().builtin().identity(1552, 41102, 7)
            .size(345.6, 222.3, 3456, 2234))
        .display(Display.of(2, "Mirror").mirrorOf(1))
        .display(Display.of(3, "Asleep").offline())
        .display(Display.of(4, "Dimmed").inactive())
        .displayError(Scenario.DisplayQuery.CGGetOnlineDisplayList, 0)
        .disabledHotKeys(64)
        .missingBundle("/System/Library/Frameworks/Nowhere.framework")
        .unloadableBundle("/System/Library/Frameworks/Elsewhere.framework")
        .missingFunction(Scenario.PrivateFunction.CoreDockSetExposeCornerAction)
        .notificationCenterDelegate("HostDelegate")
        .networkInterfaces("en0")
        .usbProducts("USB Optical Mouse", null, "Apple Internal Keyboard")
        .cameraPermission(0).cameraRequestGranted(false)
        .microphonePermission(2).microphoneRequestGranted(true)
        .accessibility(false, 0)
        .osVersion("14.5")
        .inputEvent(InputEvent.otherMouseDown())
        .inputEvent(InputEvent.gesture())
        .inputEvent(InputEvent.pressure())
        .inputEvent(InputEvent.keyDown(InputEvent.KEY_TAB, InputEvent.COMMAND).global())
        .inputEvent(InputEvent.keyDown(InputEvent.KEY_Q, InputEvent.COMMAND))
        .urlEvent("kestrel://exam/1")
        .appleEvent("GURL", "GURL", "kestrel://exam/2")
        .assessment(new Scenario.Assessment().entitled(true).supports(false, true)
            .beginError(new Scenario.Assessment.Error("AEAssessmentErrorDomain", 1, "No"), 2)
            .updateError(new Scenario.Assessment.Error("AEAssessmentErrorDomain", 4, "No"))
            .interruption(new Scenario.Assessment.Error("AEAssessmentErrorDomain", 2, "Gone"),
                true))
        .machine(new Scenario.Machine().hypervisorPresent(1).hwModel("VMware7,1")
            .platform("VMware7,1", "VMware, Inc."))
        .camera(Scenario.Camera.of("cam-1", "OBS Virtual Camera").model("obs", "OBS Project")
            .deviceType("AVCaptureDeviceTypeExternal"))
        .camera(Scenario.Camera.of("cam-2", "iPhone Camera").continuityCamera())
        .hostWindow(17, 1)
        .applicationLaunch(5151, "com.apple.ScreenContinuity", "iPhone Mirroring", false)
        .build();
    try (SimulatedDesktop desktop = SimulatedDesktop.stage(scenario)) {
      Run run = desktop.run(EveryServiceChild.class);

      assertEquals(0, run.exitCode(), run.stdout() + run.stderr());
      assertEquals(List.of(), run.desktopWarnings());
      assertEquals(List.of(), run.jniWarnings());
      String out = run.stdout();
      for (String answer : List.of("displays 3\n", "mainScreen Built-in\n", "vpn 0\n",
          "mice 1\n", "bundle Kestrelgate\n", "camera Camera not authorized\n")) {
        assertTrue(out.contains(answer), answer + " not in " + out);
      }
      // Each staged fact reaches the integrity report under its own name.
      Map<?, ?> report = (Map<?, ?>) Json.parse(out.lines()
          .filter(line -> line.startsWith("integrity ")).findFirst().orElseThrow().substring(10));
      List<?> displays = (List<?>) ((Map<?, ?>) report.get("displays")).get("list");
      assertEquals(List.of(1L, 2L, 4L),
          displays.stream().map(display -> ((Map<?, ?>) display).get("id")).toList());
      Map<?, ?> builtin = (Map<?, ?>) displays.get(0);
      assertEquals(List.of(true, 1552L, 41102L, 7L, 345.6, 222.3, 3456L, 2234L),
          List.of("builtin", "vendor", "model", "serial", "widthMm", "heightMm", "pixelsWide",
              "pixelsHigh").stream().map(builtin::get).toList());
      assertEquals(1L, ((Map<?, ?>) displays.get(1)).get("mirrorOf"));
      List<?> cameras = (List<?>) ((Map<?, ?>) report.get("cameras")).get("list");
      assertEquals(List.of("cam-1", "OBS Virtual Camera", "obs", "OBS Project",
          "AVCaptureDeviceTypeExternal"), List.of("uniqueID", "name", "model", "manufacturer",
              "deviceType").stream().map(((Map<?, ?>) cameras.get(0))::get).toList());
      assertEquals(true, ((Map<?, ?>) cameras.get(1)).get("continuityCamera"));
      Map<?, ?> window = (Map<?, ?>) ((List<?>) ((Map<?, ?>) report.get("windows"))
          .get("findings")).get(0);
      assertEquals(List.of(31L, "Zoom", 4242L, 3L, 0.5, 0L,
          Map.of("x", 0.0, "y", 0.0, "width", 400.0, "height", 300.0)),
          List.of("windowNumber", "ownerName", "ownerPid", "layer", "alpha", "sharingState",
              "bounds").stream().map(window::get).toList());
      assertEquals(List.of(1L, "VMware7,1", "VMware7,1", "VMware, Inc."),
          ((List<?>) ((Map<?, ?>) report.get("virtualMachine")).get("evidence")).stream()
              .map(evidence -> ((Map<?, ?>) evidence).get("value")).toList());
      assertTrue(out.contains("\"supportsMultipleParticipants\":false"), out);
      Journal journal = run.journal();
      assertEquals(17, journal.first("NSWindow", "setSharingType:").orElseThrow()
          .longArg("windowNumber"));
      assertEquals("vide", journal.first("AVCaptureDevice",
          "requestAccessForMediaType:completionHandler:").orElseThrow().stringArg("mediaType"));
      assertEquals(List.of("swallowed", "swallowed", "swallowed", "passed", "swallowed"),
          journal.calls("NSEvent", "deliver").stream()
              .map(entry -> entry.extras().get("result")).toList());
      assertEquals(List.of("kestrel://exam/1", "kestrel://exam/2"),
          journal.calls("NSAppleEventManager", "deliver").stream()
              .map(entry -> entry.stringArg("url")).toList());
      assertTrue(journal.calls("CoreDockSetExposeCornerAction", "CoreDockSetExposeCornerAction")
          .isEmpty(), "the corner function was staged missing");
    }
  }

  @Test
  void aChildThatOutlivesItsTimeoutIsEndedAndReaped() throws Exception {
    try (SimulatedDesktop desktop = SimulatedDesktop.stage(Scenario.builder().build())) {
      TimeoutException thrown = assertThrows(TimeoutException.class,
          () -> desktop.run(List.of(), Duration.ofSeconds(1), BlockingChild.class));
      assertTrue(thrown.getMessage().contains(BlockingChild.class.getName()));
      // A child still running, or ended but not reaped, would still be listed.
      assertEquals(0, ProcessHandle.current().children().count());
    }
  }
}
