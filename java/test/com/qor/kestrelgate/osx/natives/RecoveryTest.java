package com.qor.kestrelgate.osx.natives;

import static com.qor.kestrelgate.osx.natives.Journal.corners;
import static com.qor.kestrelgate.osx.natives.Journal.display;
import static com.qor.kestrelgate.osx.natives.Journal.hotKeys;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.Test;

/** osxnatives-recover against lockdowns of host processes killed mid-exam ({@link ChildHost}). */
class RecoveryTest {
  /** What one recovery of a lockdown with corners 2, 5, 0, 11 and hot keys 64, 65, 118 does. */
  private static final List<String> RESTORED = restored(corners(2, 5, 0, 11), 64, 65, 118);

  private static List<String> restored(List<String> corners, int... hotKeys) {
    List<String> lines = new ArrayList<>(corners);
    lines.addAll(hotKeys(true, hotKeys));
    lines.addAll(List.of(display("CGDisplayRelease", 1), display("CGDisplayRelease", 2)));
    return lines;
  }

  private static List<String> unlockCommands(ChildHost host) {
    return List.of(
        "launchctl load -w /System/Library/LaunchAgents/com.apple.notificationcenterui.plist",
        "open /System/Library/CoreServices/NotificationCenter.app",
        "defaults -currentHost write " + host.home
            + "/Library/Preferences/ByHost/com.apple.notificationcenterui doNotDisturb -boolean false",
        "killall NotificationCenter");
  }

  private static ChildHost.Child run(ChildHost host, int status, String... args) throws Exception {
    return ChildHost.expect(status, host.startTool(args));
  }

  private static <T> List<T> after(List<T> list, int from) {
    return list.subList(from, list.size());
  }

  @Test
  void afterALockdownKilledMidExamOneRunBringsTheDesktopBack() throws Exception {
    ChildHost host = new ChildHost("crash");
    host.crashLockdown();
    byte[] saved = Files.readAllBytes(host.settingsFile("ExamHost"));
    int journalBefore = host.journalLines().size();

    // Bad usage is status 2, and neither it nor a dry run changes anything.
    for (String[] args : List.of(new String[] {"--frobnicate"}, new String[] {"--bundle-name"},
        new String[] {"--bundle-name", "../ExamHost"}, new String[] {"--wait", "soon"})) {
      run(host, 2, args);
    }
    run(host, 0, "--help");
    run(host, 0, "--version");
    List<String> dryRun = run(host, 0, "--dry-run").lines;
    assertTrue(dryRun.containsAll(List.of(
        "  hot corner actions: top left 2, top right 5, bottom left 0, bottom right 11",
        "  hot keys to enable: 64,65,118")), String.join("\n", dryRun));
    assertTrue(dryRun.containsAll(unlockCommands(host).stream()
        .map(c -> "  " + c.replace(host.home.toString(), "~")).toList()), dryRun::toString);
    assertArrayEquals(saved, Files.readAllBytes(host.settingsFile("ExamHost")));
    assertEquals(journalBefore, host.journalLines().size());
    assertEquals(4, host.commands().size());

    run(host, 0);
    assertEquals(RESTORED, after(host.journalLines(), journalBefore));
    assertEquals(unlockCommands(host), after(host.commands(), 4));
    assertFalse(Files.exists(host.settingsFile("ExamHost")));

    assertTrue(run(host, 0).output().contains("Nothing to do"));
    assertEquals(journalBefore + RESTORED.size(), host.journalLines().size());
    assertEquals(8, host.commands().size(), "nothing to do runs no command");
  }

  @Test
  void aRunningLockdownKeepsTheToolOutUntilItsProcessEnds() throws Exception {
    ChildHost host = new ChildHost("running");
    host.lockdownScenario(64);
    ChildHost.Child exam = host.start("lock", "hang");
    assertTrue(exam.await("HANGING"), exam::output);
    int journalBefore = host.journalLines().size();

    String refused = run(host, 1, "--wait", "1").output();
    assertTrue(refused.contains("(pid " + exam.process.pid() + ")"), refused);
    assertEquals(4, host.commands().size(), "the refused run runs no command");

    exam.process.destroyForcibly().waitFor();
    run(host, 0, "--wait", "1");
    assertEquals(restored(corners(0, 0, 0, 0), 64), after(host.journalLines(), journalBefore));
  }

  @Test
  void twoToolsAtOnceRestoreExactlyOnce() throws Exception {
    ChildHost host = new ChildHost("twoTools");
    host.crashLockdown();
    // The first tool's launchctl waits for a line on its standard input, so that the first tool
    // holds the lock while the second one tries.
    host.standIn("launchctl", "read line\n");
    int journalBefore = host.journalLines().size();

    ChildHost.Child first = host.startTool();
    assertTrue(first.await("Turning the notification centre back on."), first::output);
    String second = run(host, 1, "--wait", "1").output();
    assertTrue(second.contains("(pid " + first.process.pid() + ")"), second);
    try (var in = first.process.getOutputStream()) {
      in.write('\n');
    }
    ChildHost.expect(0, first);

    assertEquals(RESTORED, after(host.journalLines(), journalBefore));
    assertEquals(8, host.commands().size());
  }

  @Test
  void bundleNameLimitsTheRunToOneHost() throws Exception {
    ChildHost host = new ChildHost("bundleName");
    host.lockdownScenario();
    Path direct = host.settingsFile("ExamHost").getParent().resolveSibling("Settings.plist");
    for (Path file : List.of(direct, host.settingsFile("ExamHost"), host.settingsFile("OtherHost"))) {
      Files.createDirectories(file.getParent());
      Files.writeString(file, "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
          + "<key>wvous-tl-corner</key><integer>6</integer></dict></plist>");
    }
    run(host, 0, "--bundle-name", "OtherHost");
    assertEquals(List.of(false, true, true), List.of(Files.exists(host.settingsFile("OtherHost")),
        Files.exists(host.settingsFile("ExamHost")), Files.exists(direct)));
    run(host, 0);
    assertEquals(3, host.journalLines().stream().filter(corners(6, 0, 0, 0).get(0)::equals).count(),
        "each of the three files restored exactly once");
  }
}
