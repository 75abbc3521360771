package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.util.ArrayList;
import java.util.List;
import java.util.stream.Collectors;
import java.util.stream.IntStream;
import org.junit.jupiter.api.Test;

/**
 * The input lockdown natives (startInputHandler, stopInputHandler, getDisplayCount,
 * getMainScreenName) in host processes of their own, each with its own home folder, recording
 * stand-ins for the notification-centre commands, and simulated desktop.
 */
class InputLockdownTest {
  private static final String CG =
      "/System/Library/Frameworks/ApplicationServices.framework/Frameworks/CoreGraphics.framework";

  /** Every hot key disabled except {@code enabled} (15 and 27 are always left enabled). */
  private static String disabledExcept(int... enabled) {
    return IntStream.range(0, 256)
        .filter(id -> id != 15 && id != 27 && IntStream.of(enabled).noneMatch(e -> e == id))
        .mapToObj(Integer::toString)
        .collect(Collectors.joining(","));
  }

  private static String scenario(String hotKeysDisabled, String extra) {
    return "{\"currentApplication\": {\"bundleName\": \"ExamHost\"},"
        + "\"notificationCenterDelegate\": \"HostDelegate\","
        + "\"displays\": [{\"id\": 1, \"name\": \"Built-in\", \"main\": true},"
        + "{\"id\": 2, \"name\": \"External\"}],"
        + "\"symbolicHotKeys\": {\"disabled\": [" + hotKeysDisabled + "]}" + extra + "}";
  }

  private static String entry(String service, String call, String args) {
    return Journal.entry(service, call, args);
  }

  private static List<String> hotKeys(boolean enabled, int... ids) {
    List<String> lines = new ArrayList<>();
    for (int id : ids) {
      lines.add(entry("CGSSetSymbolicHotKeyEnabled", "CGSSetSymbolicHotKeyEnabled",
          "{\"enabled\":" + enabled + ",\"id\":" + id + "}"));
    }
    return lines;
  }

  private static List<String> corners(int... actions) {
    List<String> lines = new ArrayList<>();
    for (int corner = 0; corner < 4; ++corner) {
      lines.add(entry("CoreDockSetExposeCornerAction", "CoreDockSetExposeCornerAction",
          "{\"action\":" + actions[corner] + ",\"corner\":" + corner + "}"));
    }
    return lines;
  }

  private static String display(String call, int id) {
    return entry("CoreGraphics", call, "{\"display\":" + id + "}");
  }

  private static String compact(String xml) {
    return xml.replaceAll("\\s", "");
  }

  @Test
  void lockdownSavesDisablesCapturesAndUnlockRestoresEverything() throws Exception {
    ChildHost host = new ChildHost("lockAndUnlock");
    host.scenario(scenario(disabledExcept(64, 65, 118), ""));
    host.dock("wvous-tl-corner", "2", "wvous-br-corner", "11", "tilesize", "48");

    ChildHost.Child child = host.start("lock", "pause", "unlock");
    assertTrue(child.readUntil("PAUSED"));
    String saved = compact(Files.readString(host.settingsFile("ExamHost")));
    assertTrue(saved.startsWith("<?xmlversion=\"1.0\"encoding=\"UTF-8\"?>"), saved);
    assertTrue(saved.contains("<key>HotKeys</key><string>64,65,118</string>"), saved);
    assertTrue(saved.contains("<key>wvous-tl-corner</key><integer>2</integer>"), saved);
    assertTrue(saved.contains("<key>wvous-tr-corner</key><integer>0</integer>"), saved);
    assertTrue(saved.contains("<key>wvous-br-corner</key><integer>11</integer>"), saved);
    child.resume();
    assertEquals(0, child.finish());

    assertEquals(
        List.of(
            "[INFO] JNI Env set!",
            "[INFO] Starting input handler",
            "[INFO] Did we load the core graphics bundle? true",
            "[INFO] Setting 3 HotKeys to enabled-status: false",
            "[INFO] Hot corner settings found at startup: [\"wvous-tl-corner\":2,"
                + "\"wvous-tr-corner\":0,\"wvous-bl-corner\":0,\"wvous-br-corner\":11]",
            "[INFO] Notification center disabled",
            "[INFO] Requested screen count from system: maxDisplays=2",
            "[INFO] Showing main display: mainDisplayId=1",
            "[INFO] Hiding non-main display: displayId=2",
            "[INFO] Stopping input handler",
            "[INFO] Did we load the core graphics bundle? true",
            "[INFO] Setting 3 HotKeys to enabled-status: true",
            "[INFO] Notification center enabled",
            "[INFO] Releasing display: displayId=1",
            "[INFO] Releasing display: displayId=2"),
        child.logs());
    assertEquals(List.of(), child.printed());

    List<String> expected = new ArrayList<>(hotKeys(false, 64, 65, 118));
    expected.addAll(corners(0, 0, 0, 0));
    expected.add(display("CGDisplayCapture", 2));
    expected.addAll(corners(2, 0, 0, 11));
    expected.addAll(hotKeys(true, 64, 65, 118));
    expected.add(entry("NSUserNotificationCenter", "setDelegate:", "{\"delegate\":\"HostDelegate\"}"));
    expected.add(display("CGDisplayRelease", 1));
    expected.add(display("CGDisplayRelease", 2));
    assertEquals(expected, host.journalLines());

    List<String> commands = host.commands();
    assertEquals(8, commands.size(), commands.toString());
    String byHost = host.home + "/Library/Preferences/ByHost/com.apple.notificationcenterui";
    assertEquals("defaults -currentHost write " + byHost + " doNotDisturb -boolean true",
        commands.get(0));
    assertTrue(commands.get(1).matches(
        "defaults -currentHost write \\Q" + byHost
            + "\\E doNotDisturbDate -date \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \\+000"),
        commands.get(1));
    assertEquals(List.of(
        "launchctl unload -w /System/Library/LaunchAgents/com.apple.notificationcenterui.plist",
        "killall NotificationCenter",
        "launchctl load -w /System/Library/LaunchAgents/com.apple.notificationcenterui.plist",
        "open /System/Library/CoreServices/NotificationCenter.app",
        "defaults -currentHost write " + byHost + " doNotDisturb -boolean false",
        "killall NotificationCenter"), commands.subList(2, 8));
    assertFalse(Files.exists(host.settingsFile("ExamHost")));
  }

  @Test
  void aLockdownKilledMidExamIsRestoredByTheNextProcess() throws Exception {
    ChildHost host = new ChildHost("crash");
    host.scenario(scenario(disabledExcept(64, 65, 118), ""));
    host.dock("wvous-tl-corner", "2", "wvous-tr-corner", "5", "wvous-br-corner", "11");

    ChildHost.Child crashed = host.start("lock", "hang");
    assertTrue(crashed.readUntil("HANGING"));
    crashed.process.destroyForcibly(); // SIGKILL: no unlock, no handler of any kind runs
    assertEquals(137, crashed.process.waitFor());
    String saved = compact(Files.readString(host.settingsFile("ExamHost")));
    assertTrue(saved.contains("<key>HotKeys</key><string>64,65,118</string>"), saved);

    // The desktop as the killed lockdown left it: corners off, every hot key off.
    host.dock("wvous-tl-corner", "0", "wvous-tr-corner", "0", "wvous-br-corner", "0");
    host.scenario(scenario(disabledExcept(), ""));
    int before = host.journalLines().size();
    ChildHost.Child fresh = host.run("lock", "unlock");

    assertTrue(fresh.logs().contains("[INFO] Setting 0 HotKeys to enabled-status: false"));
    assertFalse(fresh.logs().stream().anyMatch(l -> l.contains("Hot corner settings")),
        "the earlier file is kept, not overwritten");
    List<String> journal = host.journalLines();
    List<String> unlock = journal.subList(before, journal.size());
    List<String> expected = new ArrayList<>(corners(0, 0, 0, 0));
    expected.add(display("CGDisplayCapture", 2));
    expected.addAll(corners(2, 5, 0, 11));
    expected.addAll(hotKeys(true, 64, 65, 118));
    expected.add(entry("NSUserNotificationCenter", "setDelegate:", "{\"delegate\":\"HostDelegate\"}"));
    expected.add(display("CGDisplayRelease", 1));
    expected.add(display("CGDisplayRelease", 2));
    assertEquals(expected, unlock);
    assertFalse(Files.exists(host.settingsFile("ExamHost")));
    assertEquals(4 + 8, host.commands().size(), "the killed process ran its four lock commands");
  }

  @Test
  void missingPrivateFunctionsArePrintedAndTheRestGoesOn() throws Exception {
    ChildHost host = new ChildHost("missingFunctions");
    host.scenario(scenario("", ",\"privateFunctions\": {\"missingBundles\": [\"" + CG + "\"],"
        + "\"missingFunctions\": [\"CoreDockSetExposeCornerAction\"]}"));
    ChildHost.Child child = host.run("lock", "unlock");
    assertEquals(List.of("Failed to create bundle reference.", "Function pointer not found",
        "Function pointer not found", "Failed to create bundle reference."), child.printed());
    assertTrue(child.logs().contains("[INFO] Notification center enabled"));
    assertFalse(host.journalLines().stream().anyMatch(l -> l.contains("SymbolicHotKey")
        || l.contains("CoreDock")));
    assertEquals(8, host.commands().size());
  }

  @Test
  void anUnreadableSettingsFileIsLeftAsItWas() throws Exception {
    ChildHost host = new ChildHost("unreadable");
    host.scenario(scenario(disabledExcept(64), ""));
    Files.createDirectories(host.settingsFile("ExamHost").getParent());
    Files.writeString(host.settingsFile("ExamHost"), "<plist><array/></plist>");
    ChildHost.Child child = host.run("lock", "unlock");
    assertEquals(List.of(
        "ERROR: unable to read .plist file: file://" + host.home
            + "/Library/Application%20Support/Trevant/ExamHost/Settings.plist",
        "Failed to read user settings."), child.printed());
    assertEquals("<plist><array/></plist>", Files.readString(host.settingsFile("ExamHost")));
    assertTrue(host.journalLines().containsAll(hotKeys(false, 64)));
    assertFalse(host.journalLines().containsAll(hotKeys(true, 64)), "nothing to restore from");
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
