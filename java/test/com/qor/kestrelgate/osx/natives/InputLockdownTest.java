package com.qor.kestrelgate.osx.natives;

import static com.qor.kestrelgate.osx.natives.Journal.corners;
import static com.qor.kestrelgate.osx.natives.Journal.display;
import static com.qor.kestrelgate.osx.natives.Journal.hotKeys;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.time.Instant;
import java.time.LocalDateTime;
import java.time.ZoneOffset;
import java.time.temporal.ChronoUnit;
import java.util.ArrayList;
import java.util.List;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.junit.jupiter.api.Test;

/** The input lockdown natives in host processes of their own ({@link ChildHost}). */
class InputLockdownTest {
  private static final String AGENT =
      "/System/Library/LaunchAgents/com.apple.notificationcenterui.plist";

  /** The next lockdown after a killed one keeps its file, and its unlock restores from it. */
  @Test
  void aLockdownKilledMidExamIsRestoredByTheNextProcess() throws Exception {
    ChildHost host = new ChildHost("crash");
    Instant before = Instant.now().truncatedTo(ChronoUnit.SECONDS);
    ChildHost.Child crashed = host.crashLockdown();
    Instant after = Instant.now();

    assertEquals(List.of("[INFO] JNI Env set!",
        "[INFO] Starting input handler", "[INFO] Did we load the core graphics bundle? true",
        "[INFO] Setting 3 HotKeys to enabled-status: false",
        "[INFO] Hot corner settings found at startup: [\"wvous-tl-corner\":2,"
            + "\"wvous-tr-corner\":5,\"wvous-bl-corner\":0,\"wvous-br-corner\":11]",
        "[INFO] Notification center disabled",
        "[INFO] Requested screen count from system: maxDisplays=2",
        "[INFO] Showing main display: mainDisplayId=1",
        "[INFO] Hiding non-main display: displayId=2"), crashed.logs());
    String saved = Files.readString(host.settingsFile("ExamHost")).replaceAll("\\s", "");
    assertTrue(saved.contains("<key>HotKeys</key><string>64,65,118</string>"), saved);
    List<String> journal = new ArrayList<>(hotKeys(false, 64, 65, 118));
    journal.addAll(corners(0, 0, 0, 0));
    journal.add(display("CGDisplayCapture", 2));
    assertEquals(journal, host.journalLines());

    String byHost = host.home + "/Library/Preferences/ByHost/com.apple.notificationcenterui";
    String dndOn = "defaults -currentHost write " + byHost + " doNotDisturb -boolean true";
    List<String> commands = host.commands();
    assertEquals(List.of(dndOn, commands.get(1), "launchctl unload -w " + AGENT,
        "killall NotificationCenter"), commands);
    // The shell's own clock, in UTC, then " +000".
    Matcher date = Pattern.compile("defaults -currentHost write \\Q" + byHost
        + "\\E doNotDisturbDate -date (\\d{4}-\\d\\d-\\d\\d) (\\d\\d:\\d\\d:\\d\\d) \\+000")
        .matcher(commands.get(1));
    assertTrue(date.matches(), commands.get(1));
    Instant stamped = LocalDateTime.parse(date.group(1) + "T" + date.group(2))
        .toInstant(ZoneOffset.UTC);
    assertFalse(stamped.isBefore(before) || stamped.isAfter(after), stamped + " not in the run");

    ChildHost.Child fresh = ChildHost.expect(0, host.start("lock", "unlock"));

    assertTrue(fresh.logs().contains("[INFO] Stopping input handler"), fresh::output);
    // The earlier file is kept, not overwritten, and the user's settings restored from it.
    journal.addAll(corners(0, 0, 0, 0));
    journal.add(display("CGDisplayCapture", 2));
    journal.addAll(corners(2, 5, 0, 11));
    journal.addAll(hotKeys(true, 64, 65, 118));
    journal.add(Journal.entry(
        "NSUserNotificationCenter", "setDelegate:", "{\"delegate\":\"HostDelegate\"}"));
    journal.add(display("CGDisplayRelease", 1));
    journal.add(display("CGDisplayRelease", 2));
    assertEquals(journal, host.journalLines());
    assertFalse(Files.exists(host.settingsFile("ExamHost")));
    assertEquals(List.of(dndOn, "launchctl unload -w " + AGENT, "killall NotificationCenter",
        "launchctl load -w " + AGENT, "open /System/Library/CoreServices/NotificationCenter.app",
        "defaults -currentHost write " + byHost + " doNotDisturb -boolean false",
        "killall NotificationCenter"),
        host.commands().stream().skip(4).filter(c -> !c.contains("doNotDisturbDate")).toList());
  }

  @Test
  void anUnlockWithoutLockdownRunsNoCommandAndAMissingScreenNameIsNull() throws Exception {
    ChildHost host = new ChildHost("unlock");
    host.scenario("{\"displays\": [], \"displayErrors\": {\"CGGetOnlineDisplayList\": 1000}}");
    assertEquals(List.of("RESULT name null"),
        ChildHost.expect(0, host.start("unlock", "name")).results());
    assertEquals(List.of(), host.commands());
  }
}
