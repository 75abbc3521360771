package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.BufferedReader;
import java.io.IOException;
import java.net.URISyntaxException;
import java.nio.file.FileSystem;
import java.nio.file.FileSystems;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.regex.Pattern;
import java.util.stream.Collectors;
import java.util.stream.IntStream;

/**
 * A machine of a test's own for child processes (host JVMs under -Xcheck:jni, or the recovery
 * tool): a home folder, recording stand-ins for defaults, launchctl, killall and open first on
 * PATH, a scenario and a journal.
 */
final class ChildHost {
  final Path work;
  final Path home;
  final Path journal;
  private final Path record;
  private final Path scenario;

  ChildHost(String name) throws IOException {
    work = Files.createDirectories(Path.of(System.getenv("OSXNATIVES_TEST_WORK"), name));
    home = Files.createDirectories(work.resolve("home"));
    journal = work.resolve("journal.jsonl");
    record = work.resolve("stand-ins.txt");
    scenario = work.resolve("scenario.json");
    Files.createDirectories(work.resolve("bin"));
    for (String tool : List.of("defaults", "launchctl", "killall", "open")) {
      standIn(tool, "");
    }
    scenario("{}");
  }

  /** Writes the stand-in for {@code tool}: it records its command line, then runs {@code then}. */
  void standIn(String tool, String then) throws IOException {
    Path script = work.resolve("bin").resolve(tool);
    Files.writeString(script, "#!/bin/sh\necho \"${0##*/} $*\" >> \"" + record + "\"\n" + then);
    Files.setPosixFilePermissions(script, PosixFilePermissions.fromString("rwx------"));
  }

  void scenario(String json) throws IOException {
    Files.writeString(scenario, json);
  }

  /** Host "ExamHost" with displays 1 (main) and 2; every hot key off but 15, 27 and enabled. */
  void lockdownScenario(int... enabled) throws IOException {
    scenario("{\"currentApplication\": {\"bundleName\": \"ExamHost\"},"
        + "\"notificationCenterDelegate\": \"HostDelegate\","
        + "\"displays\": [{\"id\": 1, \"name\": \"Built-in\", \"main\": true}, {\"id\": 2}],"
        + "\"symbolicHotKeys\": {\"disabled\": ["
        + IntStream.range(0, 256)
              .filter(id -> id != 15 && id != 27 && IntStream.of(enabled).noneMatch(e -> e == id))
              .mapToObj(Integer::toString)
              .collect(Collectors.joining(","))
        + "]}}");
  }

  /**
   * Locks down in a host process with the hot keys 64, 65, 118 and the corners 2, 5, 0, 11 on, and
   * kills it with SIGKILL (no unlock, no handler of any kind runs); then leaves the desktop as the
   * killed lockdown did: corners and hot keys off. Returns the killed host.
   */
  Child crashLockdown() throws Exception {
    lockdownScenario(64, 65, 118);
    dock(2, 5, 11);
    Child crashed = start("lock", "hang");
    assertTrue(crashed.await("HANGING"), crashed::output);
    assertEquals(137, crashed.process.destroyForcibly().waitFor());
    lockdownScenario();
    dock(0, 0, 0);
    return crashed;
  }

  Path settingsFile(String bundleName) {
    return home.resolve("Library/Application Support/Trevant").resolve(bundleName)
        .resolve("Settings.plist");
  }

  private void dock(int topLeft, int topRight, int bottomRight) throws IOException {
    Path dock = Files.createDirectories(home.resolve("Library/Preferences"));
    Files.writeString(dock.resolve("com.apple.dock.plist"), ("<?xml version=\"1.0\"?><plist><dict>"
        + "<key>wvous-tl-corner</key><integer>%d</integer><key>tilesize</key><integer>48</integer>"
        + "<key>wvous-tr-corner</key><integer>%d</integer>"
        + "<key>wvous-br-corner</key><integer>%d</integer></dict></plist>")
        .formatted(topLeft, topRight, bottomRight));
  }

  /** The stand-in invocations so far, each as its words joined by single blanks. */
  List<String> commands() throws IOException {
    return Files.exists(record) ? Files.readAllLines(record) : List.of();
  }

  List<String> journalLines() throws IOException {
    return Files.exists(journal) ? Files.readAllLines(journal) : List.of();
  }

  /** A running child; its standard output and error are read as one stream of lines. */
  static final class Child {
    final Process process;
    private final BufferedReader out;
    final List<String> lines = new ArrayList<>();

    Child(Process process) {
      this.process = process;
      out = process.inputReader();
    }

    /** Reads output up to a line starting with {@code prefix} (null: to the end); whether seen. */
    boolean await(String prefix) throws IOException {
      for (String line = out.readLine(); line != null; line = out.readLine()) {
        lines.add(line);
        if (prefix != null && line.startsWith(prefix)) {
          return true;
        }
      }
      return false;
    }

    /** Waits up to 120 s for the end; the exit status, or -1 when it had to be killed. */
    int finish() throws IOException, InterruptedException {
      process.getOutputStream().close();
      if (!process.waitFor(120, TimeUnit.SECONDS)) {
        process.destroyForcibly();
        return -1;
      }
      await(null);
      return process.exitValue();
    }

    /** The lines but a child host's own markers: its log lines, when it has no listener. */
    List<String> logs() {
      return lines.stream().filter(l -> !l.equals("HANGING") && !l.equals("DONE")
          && !l.startsWith("RESULT ")).toList();
    }

    List<String> results() {
      return lines.stream().filter(l -> l.startsWith("RESULT ")).toList();
    }

    String output() {
      return String.join("\n", lines);
    }
  }

  /** Starts {@link NativeChild} with {@code actions}. */
  Child start(String... actions) throws IOException, URISyntaxException {
    return launch(java(hostClassPath(), NativeChild.class), actions);
  }

  /** Starts {@code main} of the tests, with the jar of {@code extra} also on its class path. */
  Child start(Class<?> main, Class<?> extra, String... actions)
      throws IOException, URISyntaxException {
    return launch(java(hostClassPath() + ":" + location(extra), main), actions);
  }

  /** Starts NativeChild through {@link OwnLoaderChild}: only its own class loader sees the host. */
  Child startInOwnLoader(String... actions) throws IOException, URISyntaxException {
    List<String> command = java(location(OwnLoaderChild.class), OwnLoaderChild.class);
    command.add(hostClassPath());
    return launch(command, actions);
  }

  /**
   * Starts NativeChild with a host class path that holds OSXNativeProvider, the version check its
   * load() makes, and nothing else of the library's jar: a host that predates every other class of
   * the package.
   */
  Child startWithHostClassOnly(String... actions) throws IOException, URISyntaxException {
    Path classes = Files.createDirectories(work.resolve("host-class-only"));
    try (FileSystem jar = FileSystems.newFileSystem(Path.of(location(OSXNativeProvider.class)))) {
      Path folder = jar.getPath("com/qor/kestrelgate/osx/natives");
      Path target = Files.createDirectories(classes.resolve(folder.toString()));
      try (var entries = Files.list(folder)) {
        for (Path entry : entries.filter(e -> HOST_ONLY.matcher(e.getFileName().toString())
            .lookingAt()).toList()) {
          Files.copy(entry, target.resolve(entry.getFileName().toString()));
        }
      }
    }
    return launch(java(classes + ":" + location(NativeChild.class), NativeChild.class), actions);
  }

  private static final Pattern HOST_ONLY =
      Pattern.compile("(OSXNativeProvider|NativeLibrary|BuildVersion)\\b");

  /** Starts osxnatives-recover, which the build puts next to the library. */
  Child startTool(String... args) throws IOException {
    return launch(
        new ArrayList<>(List.of(System.getProperty("java.library.path") + "/osxnatives-recover")),
        args);
  }

  private static List<String> java(String classPath, Class<?> main) {
    return new ArrayList<>(List.of(System.getProperty("java.home") + "/bin/java", "-Xcheck:jni",
        "-Djava.library.path=" + System.getProperty("java.library.path"), "-cp", classPath,
        main.getName()));
  }

  private static String hostClassPath() throws URISyntaxException {
    return location(OSXNativeProvider.class) + ":" + location(NativeChild.class);
  }

  private Child launch(List<String> command, String... args) throws IOException {
    command.addAll(List.of(args));
    ProcessBuilder builder = new ProcessBuilder(command).redirectErrorStream(true);
    builder.environment().put("HOME", home.toString());
    builder.environment().put("PATH", work.resolve("bin") + ":" + System.getenv("PATH"));
    builder.environment().put("OSXNATIVES_SIM_SCENARIO", scenario.toString());
    builder.environment().put("OSXNATIVES_SIM_JOURNAL", journal.toString());
    return new Child(builder.start());
  }

  /** Waits for the end of {@code child}; asserts its exit status and no JNI misuse. */
  static Child expect(int status, Child child) throws Exception {
    assertEquals(status, child.finish(), child::output);
    assertFalse(child.output().contains("WARNING in native method"), child::output);
    return child;
  }

  private static String location(Class<?> type) throws URISyntaxException {
    return Path.of(type.getProtectionDomain().getCodeSource().getLocation().toURI()).toString();
  }
}
