package com.qor.kestrelgate.osx.natives;

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
import java.util.stream.Collectors;
import java.util.stream.IntStream;
import org.junit.jupiter.api.Test;

/**
 * The input lockdown natives (startInputHandler, stopInputHandler, getDisplayCount,
 * getMainScreenName) in host processes of their own, each with its own home folder, recording
 * stand-ins for the notification-centre commands, and simulated desktop.
 */
class InputLockdownTest {
  /** Every hot key disabled except {@code enabled} (15 and 27 are always left enabled). */
  private static String disabledExcept(int... enabled) {
    return IntStream.range(0, 256)
        .filter(id -> id != 15 && id != 27 && IntStream.of(enabled).noneMatch(e -> e == id))
        .mapToObj(Integer::toString)
        .collect(Collectors.joining(","));
  }

  private static String scenario(String hotKeysDisabled) {
    return "{\"currentApplication\": {\"bundleName\": \"ExamHost\"},"
        + "\"notificationCenterDelegate\": \"HostDelegate\","
        + "\"displays\": [{\"id\": 1, \"name\": \"Built-in\", \"main\": true},"
        + "{\"id\": 2, \"name\": \"External\"}],"
        + "\"symbolicHotKeys\": {\"disabled\": [" + hotKeysDisabled + "]}}";
  }

  private static List<String> hotKeys(boolean enabled, int... ids) {
    return IntStream.of(ids).mapToObj(id -> Journal.entry("CGSSetSymbolicHotKeyEnabled",
        "CGSSetSymbolicHotKeyEnabled", "{\"enabled\":" + enabled + ",\"id\":" + id + "}")).toList();
  }

  private static List<String> corners(int... actions) {
    return IntStream.range(0, 4).mapToObj(corner -> Journal.entry("CoreDockSetExposeCornerAction",
        "CoreDockSetExposeCornerAction",
        "{\"action\":" + actions[corner] + ",\"corner\":" + corner + "}")).toList();
  }

  private static String display(String call, int id) {
    return Journal.entry("CoreGraphics", call, "{\"display\":" + id + "}");
  }

  private static final String AGENT =
      "/System/Library/LaunchAgents/com.apple.notificationcenterui.plist";

  /**
   * One process locks down and is killed mid-exam; the next one's lockdown keeps the file the
   * killed one left, and its unlock restores the user's settings from it.
   */
  @Test
  void aLockdownKilledMidExamIsRestoredByTheNextProcess() throws Exception {
    ChildHost host = new ChildHost("crash");
    host.scenario(scenario(disabledExcept(64, 65, 118)));
    host.dock("wvous-tl-corner", "2", "wvous-br-corner", "11", "tilesize", "48");
    Instant before = Instant.now().truncatedTo(ChronoUnit.SECONDS);
    ChildHost.Child crashed = host.start("lock", "hang");
    assertTrue(crashed.readUntil("HANGING"));
    Instant after = Instant.now();
    crashed.process.destroyForcibly(); // SIGKILL: no unlock, no handler of any kind runs
    assertEquals(137, crashed.process.waitFor());

    List<String> lockLogs = List.of("[INFO] JNI Env set!", "[INFO] Starting input handler",
        "[INFO] Did we load the core graphics bundle? true",
        "[INFO] Setting 3 HotKeys to enabled-status: false",
        "[INFO] Hot corner settings found at startup: [\"wvous-tl-corner\":2,"
            + "\"wvous-tr-corner\":0,\"wvous-bl-corner\":0,\"wvous-br-corner\":11]",
        "[INFO] Notification center disabled",
        "[INFO] Requested screen count from system: maxDisplays=2",
        "[INFO] Showing main display: mainDisplayId=1",
        "[INFO] Hiding non-main display: displayId=2");
    assertEquals(lockLogs, crashed.logs());
    assertEquals(List.of(), crashed.printed());
    String saved = Files.readString(host.settingsFile("ExamHost")).replaceAll("\\s", "");
    assertTrue(saved.contains("<key>HotKeys</key><string>64,65,118</string>"), saved);
    List<String> journal = new ArrayList<>(hotKeys(false, 64, 65, 118));
    journal.addAll(corners(0, 0, 0, 0));
    journal.add(display("CGDisplayCapture", 2));
    assertEquals(journal, host.journalLines());

    List<String> commands = host.commands();
    assertEquals(4, commands.size(), commands.toString());
    String byHost = host.home + "/Library/Preferences/ByHost/com.apple.notificationcenterui";
    String dndOn = "defaults -currentHost write " + byHost + " doNotDisturb -boolean true";
    assertEquals(dndOn, commands.get(0));
    // The shell's own clock, in UTC, then " +000".
    Matcher date = Pattern.compile("defaults -currentHost write \\Q" + byHost
            + "\\E doNotDisturbDate -date (\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d) \\+000")
        .matcher(commands.get(1));
    assertTrue(date.matches(), commands.get(1));
    Instant stamped =
        LocalDateTime.parse(date.group(1).replace(' ', 'T')).toInstant(ZoneOffset.UTC);
    assertFalse(stamped.isBefore(before) || stamped.isAfter(after), stamped + " not in the run");
    assertEquals(List.of("launchctl unload -w " + AGENT, "killall NotificationCenter"),
        commands.subList(2, 4));

    // The desktop as the killed lockdown left it: corners off, every hot key off.
    host.dock("wvous-tl-corner", "0", "wvous-tr-corner", "0", "wvous-br-corner", "0");
    host.scenario(scenario(disabledExcept()));
    ChildHost.Child fresh = host.run("lock", "unlock");

    List<String> logs = new ArrayList<>(lockLogs);
    logs.set(3, "[INFO] Setting 0 HotKeys to enabled-status: false");
    logs.remove(4); // the earlier file is kept, so the Dock is not read
    logs.addAll(List.of("[INFO] Stopping input handler",
        "[INFO] Did we load the core graphics bundle? true",
        "[INFO] Setting 3 HotKeys to enabled-status: true",
        "[INFO] Notification center enabled",
        "[INFO] Releasing display: displayId=1",
        "[INFO] Releasing display: displayId=2"));
    assertEquals(logs, fresh.logs());
    assertEquals(List.of(), fresh.printed());
    journal.addAll(corners(0, 0, 0, 0));
    journal.add(display("CGDisplayCapture", 2));
    journal.addAll(corners(2, 0, 0, 11));
    journal.addAll(hotKeys(true, 64, 65, 118));
    journal.add(Journal.entry(
        "NSUserNotificationCenter", "setDelegate:", "{\"delegate\":\"HostDelegate\"}"));
    journal.add(display("CGDisplayRelease", 1));
    journal.add(display("CGDisplayRelease", 2));
    assertEquals(journal, host.journalLines());
    assertFalse(Files.exists(host.settingsFile("ExamHost")));

    commands = host.commands();
    assertEquals(12, commands.size(), commands.toString());
    assertEquals(dndOn, commands.get(4));
    assertEquals(List.of("launchctl unload -w " + AGENT, "killall NotificationCenter",
        "launchctl load -w " + AGENT, "open /System/Library/CoreServices/NotificationCenter.app",
        "defaults -currentHost write " + byHost + " doNotDisturb -boolean false",
        "killall NotificationCenter"), commands.subList(6, 12));
  }

  @Test
  void displayQuestions() throws Exception {
    ChildHost host = new ChildHost("displays");
    host.scenario("{\"displays\": [{\"id\": 4, \"name\": \"Studio Display\", \"main\": true},"
        + "{\"id\": 5, \"active\": false}, {\"id\": 6}]}");
    ChildHost.Child child = host.run("count", "name");
    assertEquals(List.of("RESULT count 3", "RESULT name Studio Display"), child.results());
    assertEquals(List.of("[INFO] JNI Env set!"), child.logs());

    host.scenario("{\"displays\": [], \"displayErrors\": {\"CGGetOnlineDisplayList\": 1000}}");
    child = host.run("count", "name", "unlock");
    assertEquals(List.of("RESULT count 1", "RESULT name null"), child.results());
    assertEquals(List.of("[INFO] JNI Env set!", "[ERROR] Error getting the number of display list",
        "[INFO] Stopping input handler"), child.logs());
    assertEquals(List.of(), host.commands(), "an unlock before any lock runs no command");
  }
}
