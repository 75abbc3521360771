package com.qor.kestrelgate.osx.natives.testkit;

import java.io.IOException;
import java.io.InputStream;
import java.io.UncheckedIOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.FileVisitResult;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.SimpleFileVisitor;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.BasicFileAttributes;
import java.nio.file.attribute.PosixFilePermissions;
import java.time.Duration;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.TimeoutException;

/**
 * A staged simulated Mac desktop in a temporary folder of its own: the scenario, the Linux build
 * of libOSXNatives, printing stand-ins for {@code defaults}, {@code launchctl}, {@code killall}
 * and {@code open}, and a private home folder.
 *
 * <p>The library reads its scenario once, when it loads, and keeps process-wide state, so the
 * browser's code runs in a child JVM per {@link #run}. Runs on one desktop share its home folder
 * and journal, so a second run sees what the first left (a lockdown's settings file after a
 * crash). Linux x86_64 only. Not thread-safe: one run at a time.
 *
 * <pre>{@code
 * try (SimulatedDesktop desktop = SimulatedDesktop.stage(scenario)) {
 *   Run run = desktop.run(ExamStart.class);
 *   assertEquals(442, run.journal().first("NSApplication", "setPresentationOptions:")
 *       .orElseThrow().longArg("options"));
 * }
 * }</pre>
 */
public final class SimulatedDesktop implements AutoCloseable {
  /** How long {@link #run(Class, String...)} waits for the child JVM. */
  public static final Duration DEFAULT_TIMEOUT = Duration.ofMinutes(1);

  static final String LIBRARY_RESOURCE = "/natives/linux-x86_64/libOSXNatives.so";
  static final String STAND_IN_RESOURCES = "/com/qor/kestrelgate/osx/natives/testkit/standins/";
  private static final List<String> STAND_INS = List.of("defaults", "launchctl", "killall", "open");

  private final Path folder;
  private final Path libraryFolder;
  private final Path standIns;
  private final Path home;
  private final Path scenarioFile;
  private final Path journalFile;
  private int runs;

  private SimulatedDesktop(Path folder) {
    this.folder = folder;
    this.libraryFolder = folder.resolve("lib");
    this.standIns = folder.resolve("bin");
    this.home = folder.resolve("home");
    this.scenarioFile = folder.resolve("scenario.json");
    this.journalFile = folder.resolve("journal.jsonl");
  }

  /**
   * Stages a desktop in a new temporary folder.
   *
   * @param scenario the desktop's starting state
   * @return the desktop; close it to delete the folder
   * @throws IOException when the folder cannot be written
   * @throws UnsupportedOperationException on a machine other than Linux x86_64
   * @throws IllegalStateException when the kit's jar lacks the library or a stand-in
   */
  public static SimulatedDesktop stage(Scenario scenario) throws IOException {
    String os = System.getProperty("os.name", "");
    String arch = System.getProperty("os.arch", "");
    if (!os.equals("Linux") || !(arch.equals("amd64") || arch.equals("x86_64"))) {
      throw new UnsupportedOperationException(
          "the simulated desktop runs on Linux x86_64 only, not " + os + " " + arch);
    }
    SimulatedDesktop desktop =
        new SimulatedDesktop(Files.createTempDirectory("osxnatives-desktop-"));
    try {
      desktop.write(scenario);
      return desktop;
    } catch (IOException | RuntimeException e) {
      desktop.close();
      throw e;
    }
  }

  private void write(Scenario scenario) throws IOException {
    Files.createDirectories(libraryFolder);
    Files.createDirectories(standIns);
    Files.createDirectories(home);
    for (Map.Entry<String, String> file : scenario.files().entrySet()) {
      Files.writeString(folder.resolve(file.getKey()), file.getValue(), StandardCharsets.UTF_8);
    }
    Files.writeString(scenarioFile, scenario.toJson(), StandardCharsets.UTF_8);
    extract(LIBRARY_RESOURCE, libraryFolder.resolve("libOSXNatives.so"));
    for (String name : STAND_INS) {
      Path standIn = standIns.resolve(name);
      extract(STAND_IN_RESOURCES + name, standIn);
      Files.setPosixFilePermissions(standIn, PosixFilePermissions.fromString("rwxr-xr-x"));
    }
  }

  private static void extract(String resource, Path target) throws IOException {
    try (InputStream in = SimulatedDesktop.class.getResourceAsStream(resource)) {
      if (in == null) {
        throw new IllegalStateException("the test kit's jar has no " + resource);
      }
      Files.copy(in, target, StandardCopyOption.REPLACE_EXISTING);
    }
  }

  /**
   * Runs {@code mainClass} in a child JVM on this desktop and waits up to {@link
   * #DEFAULT_TIMEOUT}.
   *
   * @param mainClass a class with {@code public static void main(String[])}, on this JVM's class
   *     path
   * @param args its arguments
   * @return what the run did
   * @throws IOException when the JVM cannot be started or its output read
   * @throws InterruptedException when interrupted while waiting (the child is ended and reaped)
   * @throws TimeoutException when the child did not end in time (it is ended and reaped)
   */
  public Run run(Class<?> mainClass, String... args)
      throws IOException, InterruptedException, TimeoutException {
    return run(List.of(), DEFAULT_TIMEOUT, mainClass, args);
  }

  /**
   * Runs {@code mainClass} in a child JVM on this desktop: this JVM's java, {@code -Xcheck:jni},
   * this JVM's class path, the staged library on {@code java.library.path}, the stand-ins first
   * on PATH and the desktop's home as HOME.
   *
   * @param jvmArgs more JVM options, such as {@code -Dexam.id=7}
   * @param timeout how long to wait for it to end
   * @param mainClass a class with {@code public static void main(String[])}, on this JVM's class
   *     path
   * @param args its arguments
   * @return what the run did
   * @throws IOException when the JVM cannot be started or its output read
   * @throws InterruptedException when interrupted while waiting (the child is ended and reaped)
   * @throws TimeoutException when the child did not end in time (it is ended and reaped)
   */
  public Run run(List<String> jvmArgs, Duration timeout, Class<?> mainClass, String... args)
      throws IOException, InterruptedException, TimeoutException {
    int number = ++runs;
    Path stdout = folder.resolve("run-" + number + ".out");
    Path stderr = folder.resolve("run-" + number + ".err");
    List<String> command = new ArrayList<>(List.of(
        Path.of(System.getProperty("java.home"), "bin", "java").toString(), "-Xcheck:jni",
        "-Djava.library.path=" + libraryFolder, "-cp", System.getProperty("java.class.path")));
    command.addAll(jvmArgs);
    command.add(mainClass.getName());
    command.addAll(List.of(args));
    ProcessBuilder builder = new ProcessBuilder(command).directory(home.toFile())
        .redirectOutput(stdout.toFile()).redirectError(stderr.toFile())
        .redirectInput(ProcessBuilder.Redirect.from(Path.of("/dev/null").toFile()));
    Map<String, String> environment = builder.environment();
    environment.put("OSXNATIVES_SIM_SCENARIO", scenarioFile.toString());
    environment.put("OSXNATIVES_SIM_JOURNAL", journalFile.toString());
    environment.put("HOME", home.toString());
    String path = environment.get("PATH");
    environment.put("PATH", standIns + (path == null || path.isEmpty()
        ? ":/usr/bin:/bin" : ":" + path));

    List<String> before = journal().lines();
    Process child = builder.start();
    boolean ended = false;
    try {
      ended = child.waitFor(timeout.toMillis(), TimeUnit.MILLISECONDS);
    } finally {
      if (!ended) {
        // Timed out or interrupted: end what the child started, then the child, and reap it.
        child.descendants().forEach(ProcessHandle::destroyForcibly);
        child.destroyForcibly();
        child.onExit().join();
      }
    }
    String out = read(stdout);
    String err = read(stderr);
    if (!ended) {
      throw new TimeoutException(mainClass.getName() + " did not end within " + timeout
          + "; it printed:\n" + out + err);
    }
    List<JournalEntry> entries = journal().entries();
    return new Run(child.exitValue(), out, err,
        new Journal(entries.subList(Math.min(before.size(), entries.size()), entries.size())));
  }

  private static String read(Path file) throws IOException {
    return new String(Files.readAllBytes(file), StandardCharsets.UTF_8);
  }

  /**
   * The whole journal, of every run so far.
   *
   * @return the journal
   * @throws IOException when it cannot be read
   */
  public Journal journal() throws IOException {
    return Journal.read(journalFile);
  }

  /**
   * The home folder every run gets as HOME; a lockdown keeps its settings under {@code
   * Library/Application Support} in it.
   *
   * @return the folder
   */
  public Path home() {
    return home;
  }

  /**
   * The staged folder: scenario.json, journal.jsonl, lib/, bin/ (the stand-ins), home/.
   *
   * @return the folder
   */
  public Path folder() {
    return folder;
  }

  /**
   * Deletes the staged folder and everything in it; links are deleted, never followed.
   *
   * @throws UncheckedIOException when something cannot be deleted
   */
  @Override
  public void close() {
    if (!Files.exists(folder)) {
      return;
    }
    try {
      Files.walkFileTree(folder, new SimpleFileVisitor<>() {
        @Override
        public FileVisitResult visitFile(Path file, BasicFileAttributes attributes)
            throws IOException {
          Files.delete(file);
          return FileVisitResult.CONTINUE;
        }

        @Override
        public FileVisitResult postVisitDirectory(Path directory, IOException failure)
            throws IOException {
          if (failure != null) {
            throw failure;
          }
          Files.delete(directory);
          return FileVisitResult.CONTINUE;
        }
      });
    } catch (IOException e) {
      throw new UncheckedIOException("cannot delete " + folder, e);
    }
  }

  @Override
  public String toString() {
    return "simulated desktop in " + folder;
  }
}
