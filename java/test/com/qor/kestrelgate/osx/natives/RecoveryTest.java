package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.List;
import java.util.stream.Collectors;
import java.util.stream.IntStream;
import org.junit.jupiter.api.Test;

/**
 * osxnatives-recover against lockdowns of real host processes killed mid-exam: each test has its
 * own home folder, recording stand-ins for the notification-centre commands and simulated desktop
 * (see {@link ChildHost}); the tool runs with the same environment.
 */
class RecoveryTest {
  private static final Path TOOL =
      Path.of(System.getProperty("java.library.path"), "osxnatives-recover");
  private static final List<String> UNLOCK_COMMANDS = List.of(
      "launchctl load -w /System/Library/LaunchAgents/com.apple.notificationcenterui.plist",
      "open /System/Library/CoreServices/NotificationCenter.app",
      "defaults -currentHost write %s/Library/Preferences/ByHost/com.apple.notificationcenterui"
          + " doNotDisturb -boolean false",
      "killall NotificationCenter");

  /** A finished or running tool. */
  private static final class Tool {
    final Process process;
    final BufferedReader out;
    final List<String> lines = new ArrayList<>();

    Tool(Process process) {
      this.process = process;
      out = new BufferedReader(
          new InputStreamReader(process.getInputStream(), StandardCharsets.UTF_8));
    }

    /** Reads output up to and including the first line starting with {@code prefix}. */
    boolean readUntil(String prefix) throws IOException {
      for (String line = out.readLine(); line != null; line = out.readLine()) {
        lines.add(line);
        if (prefix != null && line.startsWith(prefix)) {
          return true;
        }
      }
      return false;
    }

    int finish() throws IOException, InterruptedException {
      readUntil(null);
      return process.waitFor();
    }

    String output() {
      return String.join("\n", lines);
    }
  }

  private static Tool start(ChildHost host, String... args) throws IOException {
    List<String> command = new ArrayList<>(List.of(TOOL.toString()));
    command.addAll(List.of(args));
    ProcessBuilder builder = new ProcessBuilder(command).redirectErrorStream(true);
    builder.environment().put("HOME", host.home.toString());
    builder.environment().put("PATH", host.work.resolve("bin") + ":" + System.getenv("PATH"));
    builder.environment().put("OSXNATIVES_SIM_SCENARIO", host.work.resolve("scenario.json").toString());
    builder.environment().put("OSXNATIVES_SIM_JOURNAL", host.journal.toString());
    return new Tool(builder.start());
  }

  /** Runs the tool to its end and checks its exit status. */
  private static Tool run(ChildHost host, int status, String... args) throws Exception {
    Tool tool = start(host, args);
    tool.process.getOutputStream().close();
    assertEquals(status, tool.finish(), tool::output);
    return tool;
  }

  private static String scenario(String hotKeysDisabled) {
    return "{\"currentApplication\": {\"bundleName\": \"ExamHost\"},"
        + "\"displays\": [{\"id\": 1, \"name\": \"Built-in\", \"main\": true}, {\"id\": 2}],"
        + "\"symbolicHotKeys\": {\"disabled\": [" + hotKeysDisabled + "]}}";
  }

  private static String disabledExcept(int... enabled) {
    return IntStream.range(0, 256)
        .filter(id -> id != 15 && id != 27 && IntStream.of(enabled).noneMatch(e -> e == id))
        .mapToObj(Integer::toString)
        .collect(Collectors.joining(","));
  }

  private static List<String> restored(int[] corners, int... hotKeys) {
    List<String> lines = new ArrayList<>();
    for (int corner = 0; corner < 4; ++corner) {
      lines.add(Journal.entry("CoreDockSetExposeCornerAction", "CoreDockSetExposeCornerAction",
          "{\"action\":" + corners[corner] + ",\"corner\":" + corner + "}"));
    }
    for (int id : hotKeys) {
      lines.add(Journal.entry("CGSSetSymbolicHotKeyEnabled", "CGSSetSymbolicHotKeyEnabled",
          "{\"enabled\":true,\"id\":" + id + "}"));
    }
    return lines;
  }

  private static List<String> released() {
    return List.of(Journal.entry("CoreGraphics", "CGDisplayRelease", "{\"display\":1}"),
        Journal.entry("CoreGraphics", "CGDisplayRelease", "{\"display\":2}"));
  }

  private static List<String> unlockCommands(ChildHost host) {
    return UNLOCK_COMMANDS.stream().map(c -> c.formatted(host.home)).toList();
  }

  private static <T> List<T> after(List<T> list, int from) {
    return list.subList(from, list.size());
  }

  /** A host whose lockdown was killed with SIGKILL while the hot keys 64, 65 and 118 were off. */
  private static ChildHost crashedLockdown(String name) throws Exception {
    ChildHost host = new ChildHost(name);
    host.scenario(scenario(disabledExcept(64, 65, 118)));
    host.dock("wvous-tl-corner", "2", "wvous-tr-corner", "5", "wvous-br-corner", "11");
    ChildHost.Child crashed = host.start("lock", "hang");
    assertTrue(crashed.readUntil("HANGING"));
    crashed.process.destroyForcibly();
    assertEquals(137, crashed.process.waitFor());
    assertTrue(Files.exists(host.settingsFile("ExamHost")));
    // The desktop as the killed lockdown left it: every hot key off.
    host.scenario(scenario(disabledExcept()));
    return host;
  }

  @Test
  void afterALockdownKilledMidExamOneRunBringsTheDesktopBack() throws Exception {
    ChildHost host = crashedLockdown("crash");
    byte[] saved = Files.readAllBytes(host.settingsFile("ExamHost"));
    int journalBefore = host.journalLines().size();
    int commandsBefore = host.commands().size();
    assertEquals(4, commandsBefore, "the killed lockdown ran its lock commands");

    Tool dryRun = run(host, 0, "--dry-run");
    assertTrue(dryRun.lines.contains(
        "  hot corner actions: top left 2, top right 5, bottom left 0, bottom right 11"),
        dryRun::output);
    assertTrue(dryRun.lines.contains("  hot keys to enable: 64,65,118"), dryRun::output);
    assertTrue(dryRun.lines.containsAll(
        unlockCommands(host).stream().map(c -> "  " + c.replace(host.home.toString(), "~")).toList()),
        dryRun::output);
    assertArrayEquals(saved, Files.readAllBytes(host.settingsFile("ExamHost")));
    assertEquals(journalBefore, host.journalLines().size(), "a dry run changes nothing");
    assertEquals(commandsBefore, host.commands().size());

    Tool tool = run(host, 0);
    List<String> expected = new ArrayList<>(restored(new int[] {2, 5, 0, 11}, 64, 65, 118));
    expected.addAll(released());
    assertEquals(expected, after(host.journalLines(), journalBefore));
    assertEquals(unlockCommands(host), after(host.commands(), commandsBefore));
    assertFalse(Files.exists(host.settingsFile("ExamHost")));
    assertTrue(tool.lines.contains("Setting 3 HotKeys to enabled-status: true"), tool::output);

    int journalAfter = host.journalLines().size();
    Tool again = run(host, 0);
    assertTrue(again.output().contains("Nothing to do"), again::output);
    assertEquals(journalAfter, host.journalLines().size());
    assertEquals(commandsBefore + 4, host.commands().size(), "nothing to do runs no command");
  }

  @Test
  void aRunningLockdownKeepsTheToolOutUntilItsProcessEnds() throws Exception {
    ChildHost host = new ChildHost("running");
    host.scenario(scenario(disabledExcept(64)));
    ChildHost.Child exam = host.start("lock", "hang");
    assertTrue(exam.readUntil("HANGING"));
    byte[] saved = Files.readAllBytes(host.settingsFile("ExamHost"));
    int journalBefore = host.journalLines().size();

    Tool tool = run(host, 1, "--wait", "1");
    assertTrue(tool.output().contains("(pid " + exam.process.pid() + ")"), tool::output);
    assertTrue(tool.output().contains("Nothing was changed."), tool::output);
    assertArrayEquals(saved, Files.readAllBytes(host.settingsFile("ExamHost")));
    assertEquals(journalBefore, host.journalLines().size());
    assertEquals(4, host.commands().size());

    exam.process.destroyForcibly();
    exam.process.waitFor();
    run(host, 0, "--wait", "1");
    assertFalse(Files.exists(host.settingsFile("ExamHost")));
    assertTrue(after(host.journalLines(), journalBefore).containsAll(restored(new int[4], 64)));
  }

  @Test
  void twoToolsAtOnceRestoreExactlyOnce() throws Exception {
    ChildHost host = crashedLockdown("twoTools");
    // The first tool's launchctl waits for a line on the tool's standard input, so that the
    // first tool holds the lock while the second one tries.
    Path launchctl = host.work.resolve("bin/launchctl");
    Files.writeString(launchctl, Files.readString(launchctl) + "read line\n");
    Files.setPosixFilePermissions(launchctl, PosixFilePermissions.fromString("rwx------"));
    int journalBefore = host.journalLines().size();

    Tool first = start(host);
    assertTrue(first.readUntil("Turning the notification centre back on."), first::output);
    Tool second = run(host, 1, "--wait", "1");
    assertTrue(second.output().contains("in use by osxnatives-reco"), second::output);
    assertTrue(second.output().contains("(pid " + first.process.pid() + ")"), second::output);
    try (OutputStream in = first.process.getOutputStream()) {
      in.write('\n');
    }
    assertEquals(0, first.finish(), first::output);

    List<String> expected = new ArrayList<>(restored(new int[] {2, 5, 0, 11}, 64, 65, 118));
    expected.addAll(released());
    assertEquals(expected, after(host.journalLines(), journalBefore));
    assertEquals(4 + 4, host.commands().size());
    assertFalse(Files.exists(host.settingsFile("ExamHost")));
  }

  private record BadFile(String name, String content, int status, List<String> printed,
                         int[] corners, int[] hotKeys) {}

  private static String plist(String body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body
        + "\n</plist>\n";
  }

  @Test
  void badSettingsFilesAreHandledAsTheUnlockHandlesThem() throws Exception {
    String url = "ERROR: unable to read .plist file: file://%s/Library/Application%%20Support"
        + "/Trevant/ExamHost/Settings.plist";
    List<BadFile> cases = List.of(
        new BadFile("notAPlist", "this is not a property list", 1,
            List.of(url, "Failed to read user settings."), null, null),
        new BadFile("arrayRoot", plist("<array><integer>1</integer></array>"), 1,
            List.of(url, "Failed to read user settings."), null, null),
        new BadFile("cornerValues", plist("<dict><key>wvous-tl-corner</key><string>2</string>"
            + "<key>wvous-tr-corner</key><integer>4294967296</integer>"
            + "<key>wvous-br-corner</key><integer>-3</integer>"
            + "<key>HotKeys</key><string></string></dict>"), 0,
            List.of("Setting 1 HotKeys to enabled-status: true"), new int[] {0, 0, 0, -3},
            new int[0]),
        new BadFile("oddHotKeyList", plist("<dict><key>HotKeys</key><string>5,,x,+7</string>"
            + "</dict>"), 0, List.of("Setting 4 HotKeys to enabled-status: true"), new int[4],
            new int[] {5, 7}));
    for (BadFile bad : cases) {
      ChildHost host = new ChildHost(bad.name());
      host.scenario(scenario(disabledExcept()));
      Path file = host.settingsFile("ExamHost");
      Files.createDirectories(file.getParent());
      Files.writeString(file, bad.content());

      Tool tool = run(host, bad.status());
      for (String line : bad.printed()) {
        assertTrue(tool.lines.contains(line.formatted(host.home)), bad.name() + ":\n" + tool.output());
      }
      List<String> expected = new ArrayList<>();
      if (bad.corners() != null) {
        expected.addAll(restored(bad.corners(), bad.hotKeys()));
        assertFalse(Files.exists(file), bad.name());
      } else {
        assertEquals(bad.content(), Files.readString(file), bad.name() + ": left as it was");
      }
      expected.addAll(released());
      assertEquals(expected, host.journalLines(), bad.name());
      assertEquals(unlockCommands(host), host.commands(), bad.name());
    }
  }

  @Test
  void bundleNameLimitsTheRunToOneHost() throws Exception {
    ChildHost host = new ChildHost("bundleName");
    host.scenario(scenario(disabledExcept()));
    String settings = plist("<dict><key>wvous-tl-corner</key><integer>6</integer>"
        + "<key>HotKeys</key><string>9</string></dict>");
    for (String bundle : List.of("ExamHost", "OtherHost")) {
      Files.createDirectories(host.settingsFile(bundle).getParent());
      Files.writeString(host.settingsFile(bundle), settings);
    }
    Path direct = host.settingsFile("ExamHost").getParent().resolveSibling("Settings.plist");
    Files.writeString(direct, settings);

    run(host, 0, "--bundle-name", "OtherHost");
    assertFalse(Files.exists(host.settingsFile("OtherHost")));
    assertTrue(Files.exists(host.settingsFile("ExamHost")));
    assertTrue(Files.exists(direct));

    run(host, 0);
    assertFalse(Files.exists(host.settingsFile("ExamHost")));
    assertFalse(Files.exists(direct));
    String topLeftSix = restored(new int[] {6, 0, 0, 0}).get(0);
    long restores = host.journalLines().stream().filter(topLeftSix::equals).count();
    assertEquals(3, restores, "each of the three files restored exactly once");
  }

  @Test
  void badUsageIsStatusTwoAndTouchesNothing() throws Exception {
    ChildHost host = crashedLockdown("usage");
    int journalBefore = host.journalLines().size();
    for (String[] args : List.of(new String[] {"--frobnicate"}, new String[] {"--bundle-name"},
        new String[] {"--bundle-name", "../ExamHost"}, new String[] {"--wait", "soon"})) {
      run(host, 2, args);
    }
    Tool help = run(host, 0, "--help");
    assertTrue(help.output().contains("Exit status:"), help::output);
    assertTrue(run(host, 0, "--version").output().startsWith("osxnatives-recover "));
    assertEquals(journalBefore, host.journalLines().size());
    assertTrue(Files.exists(host.settingsFile("ExamHost")));
  }
}
