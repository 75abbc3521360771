package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.net.URISyntaxException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.List;

/**
 * A machine of a test's own for {@link NativeChild} processes: a home folder, recording stand-ins
 * for defaults, launchctl, killall and open first on PATH, a scenario and a journal. Every child
 * runs with -Xcheck:jni.
 */
final class ChildHost {
  final Path work;
  final Path home;
  final Path journal;
  final Path record;
  private final Path scenario;
  private final Path bin;

  ChildHost(String name) throws IOException {
    work = Files.createDirectories(Path.of(System.getenv("OSXNATIVES_TEST_WORK"), name));
    home = Files.createDirectories(work.resolve("home"));
    bin = Files.createDirectories(work.resolve("bin"));
    journal = work.resolve("journal.jsonl");
    record = work.resolve("stand-ins.txt");
    scenario = work.resolve("scenario.json");
    for (String tool : List.of("defaults", "launchctl", "killall", "open")) {
      Path script = bin.resolve(tool);
      Files.writeString(
          script,
          "#!/bin/sh\n{ printf '%s\\n' \"$(basename \"$0\")\" \"$@\"; echo --; } >> \""
              + record
              + "\"\n");
      Files.setPosixFilePermissions(script, PosixFilePermissions.fromString("rwx------"));
    }
    scenario("{}");
  }

  void scenario(String json) throws IOException {
    Files.writeString(scenario, json);
  }

  /** The settings file of a host whose bundle name is {@code bundleName}. */
  Path settingsFile(String bundleName) {
    return home.resolve("Library/Application Support/Trevant").resolve(bundleName)
        .resolve("Settings.plist");
  }

  /** Writes the Dock preferences as an XML property list of integer values. */
  void dock(String... keysAndValues) throws IOException {
    StringBuilder xml = new StringBuilder(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n");
    for (int i = 0; i < keysAndValues.length; i += 2) {
      xml.append("<key>").append(keysAndValues[i]).append("</key><integer>")
          .append(keysAndValues[i + 1]).append("</integer>\n");
    }
    xml.append("</dict>\n</plist>\n");
    Path dock = home.resolve("Library/Preferences/com.apple.dock.plist");
    Files.createDirectories(dock.getParent());
    Files.writeString(dock, xml);
  }

  /** The stand-in invocations so far, each as its words joined by single blanks. */
  List<String> commands() throws IOException {
    List<String> calls = new ArrayList<>();
    if (!Files.exists(record)) {
      return calls;
    }
    List<String> words = new ArrayList<>();
    for (String line : Files.readAllLines(record)) {
      if (line.equals("--")) {
        calls.add(String.join(" ", words));
        words.clear();
      } else {
        words.add(line);
      }
    }
    return calls;
  }

  List<String> journalLines() throws IOException {
    return Files.exists(journal) ? Files.readAllLines(journal) : List.of();
  }

  /** A running child. */
  final class Child {
    final Process process;
    private final BufferedReader out;
    private final List<String> stdout = new ArrayList<>();
    private final Path stderr;

    Child(Process process, Path stderr) {
      this.process = process;
      this.stderr = stderr;
      out = new BufferedReader(
          new InputStreamReader(process.getInputStream(), StandardCharsets.UTF_8));
    }

    /** Reads standard output up to and including {@code line}; false at end of output. */
    boolean readUntil(String line) throws IOException {
      for (String next = out.readLine(); next != null; next = out.readLine()) {
        stdout.add(next);
        if (next.equals(line)) {
          return true;
        }
      }
      return false;
    }

    /** Waits for the end; returns the exit status. */
    int finish() throws IOException, InterruptedException {
      readUntil(null);
      process.getOutputStream().close();
      return process.waitFor();
    }

    /** Standard output lines read so far, without the child's own markers. */
    List<String> printed() {
      return stdout.stream()
          .filter(l -> !l.equals("DONE") && !l.equals("HANGING")
              && !l.startsWith("RESULT "))
          .toList();
    }

    List<String> results() {
      return stdout.stream().filter(l -> l.startsWith("RESULT ")).toList();
    }

    /** The host's log lines as "[LEVEL] message", in order. */
    List<String> logs() throws IOException {
      return Files.readAllLines(stderr).stream().filter(l -> l.startsWith("[")).toList();
    }
  }

  Child start(String... actions) throws IOException, URISyntaxException {
    String classpath = location(OSXNativeProvider.class) + ":" + location(NativeChild.class);
    return launch(List.of("-cp", classpath, NativeChild.class.getName()), actions);
  }

  /**
   * Like {@link #start}, with the host class and NativeChild loaded by a class loader of the
   * child's own ({@link OwnLoaderChild}); the JVM's class path holds only the test classes.
   */
  Child startInOwnLoader(String... actions) throws IOException, URISyntaxException {
    String loaderPath = location(OSXNativeProvider.class) + ":" + location(NativeChild.class);
    return launch(
        List.of("-cp", location(OwnLoaderChild.class), OwnLoaderChild.class.getName(), loaderPath),
        actions);
  }

  private Child launch(List<String> main, String... actions) throws IOException {
    List<String> command = new ArrayList<>(List.of(
        Path.of(System.getProperty("java.home"), "bin", "java").toString(), "-Xcheck:jni",
        "-Djava.library.path=" + System.getProperty("java.library.path")));
    command.addAll(main);
    command.addAll(List.of(actions));
    ProcessBuilder builder = new ProcessBuilder(command);
    builder.environment().put("HOME", home.toString());
    builder.environment().put("PATH", bin + ":" + System.getenv("PATH"));
    builder.environment().put("OSXNATIVES_SIM_SCENARIO", scenario.toString());
    builder.environment().put("OSXNATIVES_SIM_JOURNAL", journal.toString());
    Path stderr = Files.createTempFile(work, "stderr", ".txt");
    builder.redirectError(stderr.toFile());
    return new Child(builder.start(), stderr);
  }

  /** Runs a child to its end and checks that it exited cleanly without JNI warnings. */
  Child run(String... actions) throws Exception {
    return finished(start(actions));
  }

  /** Runs a child in a class loader of its own ({@link #startInOwnLoader}), as {@link #run}. */
  Child runInOwnLoader(String... actions) throws Exception {
    return finished(startInOwnLoader(actions));
  }

  private Child finished(Child child) throws Exception {
    assertEquals(0, child.finish(), () -> "child failed: " + readQuietly(child.stderr));
    assertFalse(Files.readString(child.stderr).contains("WARNING in native method"));
    return child;
  }

  private static String readQuietly(Path file) {
    try {
      return Files.readString(file);
    } catch (IOException e) {
      return e.toString();
    }
  }

  private static String location(Class<?> type) throws URISyntaxException {
    return Path.of(type.getProtectionDomain().getCodeSource().getLocation().toURI()).toString();
  }
}
