package com.qor.kestrelgate.osx.natives.testkit;

import java.util.List;

/**
 * What one child JVM on a simulated desktop did. Immutable.
 *
 * @param exitCode the JVM's exit status
 * @param stdout everything it printed on standard output, stand-ins' lines included
 * @param stderr everything it printed on standard error (the JVM's JNI warnings, the simulated
 *     desktop's own "osxnatives: simulated desktop: ..." lines)
 * @param journal the journal entries written during this run
 */
public record Run(int exitCode, String stdout, String stderr, Journal journal) {
  /** How a stand-in starts each line it prints. */
  static final String STAND_IN_PREFIX = "  stand-in  ";

  /**
   * The commands the stand-ins for {@code defaults}, {@code launchctl}, {@code killall} and
   * {@code open} were asked to run, in order, such as "killall NotificationCenter".
   *
   * @return one command line each, without the stand-in's prefix
   */
  public List<String> standInCommands() {
    return stdout.lines().filter(line -> line.startsWith(STAND_IN_PREFIX))
        .map(line -> line.substring(STAND_IN_PREFIX.length())).toList();
  }

  /**
   * The JVM's reports of JNI misuse (with {@code -Xcheck:jni}).
   *
   * @return the lines holding "WARNING in native method"; empty when the library behaved
   */
  public List<String> jniWarnings() {
    return (stdout + "\n" + stderr).lines()
        .filter(line -> line.contains("WARNING in native method")).toList();
  }

  /**
   * The lines the simulated desktop printed about the scenario (bad keys it skipped).
   *
   * @return the lines starting with "osxnatives: simulated desktop: "
   */
  public List<String> desktopWarnings() {
    return stderr.lines().filter(line -> line.startsWith("osxnatives: simulated desktop: "))
        .toList();
  }
}
