package com.qor.kestrelgate.osx.natives.testkit;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qor.kestrelgate.osx.natives.testkit.Scenario.Display;
import com.qor.kestrelgate.osx.natives.testkit.Scenario.InputEvent;
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
      assertEquals(List.of(2L), journal.calls("CoreGraphics", "CGDisplayCapture").stream()
          .map(entry -> entry.longArg("display")).toList());
      assertEquals(List.of(1L, 2L), journal.calls("CoreGraphics", "CGDisplayRelease").stream()
          .map(entry -> entry.longArg("display")).toList());
      JournalEntry key = journal.first("NSEvent", "deliver").orElseThrow();
      assertEquals(InputEvent.KEY_Q, key.longArg("keyCode"));
      assertEquals("swallowed", key.extras().get("result"));
      JournalEntry url = journal.first("NSAppleEventManager", "deliver").orElseThrow();
      assertEquals("kestrel://exam/42?seat=7", url.stringArg("url"));
      assertEquals("handled", url.extras().get("result"));

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
