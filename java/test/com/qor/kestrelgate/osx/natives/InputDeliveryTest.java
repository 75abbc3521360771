package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;

/**
 * Runs the input filter in child JVMs (each with a scenario of its own, under -Xcheck:jni) and
 * checks what reached Java, the journal, and that the JVM shut down cleanly with the library's
 * platform thread.
 */
class InputDeliveryTest {
  private static final String CMD_Q = "{\"type\":\"keyDown\",\"keyCode\":12,\"modifierFlags\":1048576}";
  private static final String CMD_SHIFT_Q =
      "{\"type\":\"keyDown\",\"keyCode\":12,\"modifierFlags\":1179648}";
  private static final String CMD_H = "{\"type\":\"keyDown\",\"keyCode\":4,\"modifierFlags\":1048576}";
  private static final String KEY_A = "{\"type\":\"keyDown\",\"keyCode\":0}";
  private static final String MIDDLE_CLICK = "{\"type\":\"otherMouseDown\"}";

  /** What a child run left behind. */
  private record Run(int exitCode, Map<String, String> facts, String output, List<String> journal) {}

  private static Path work() {
    String name = System.getenv("OSXNATIVES_TEST_WORK");
    return Path.of(name == null || name.isEmpty() ? System.getProperty("java.io.tmpdir") : name);
  }

  private static String classPath() throws Exception {
    return Path.of(OSXNativeProvider.class.getProtectionDomain().getCodeSource().getLocation().toURI())
        + File.pathSeparator
        + Path.of(EventProbe.class.getProtectionDomain().getCodeSource().getLocation().toURI());
  }

  private static Run run(String name, String scenario, String... probeArgs) throws Exception {
    Path dir = Files.createDirectories(work().resolve(name));
    Path scenarioFile = dir.resolve("scenario.json");
    Path journalFile = dir.resolve("journal.jsonl");
    Path outputFile = dir.resolve("output.txt");
    Files.writeString(scenarioFile, scenario, StandardCharsets.UTF_8);
    List<String> command = new ArrayList<>();
    command.add(Path.of(System.getProperty("java.home"), "bin", "java").toString());
    command.add("-Xcheck:jni");
    command.add("-Djava.library.path=" + System.getProperty("java.library.path"));
    command.add("-cp");
    command.add(classPath());
    command.add(EventProbe.class.getName());
    command.addAll(List.of(probeArgs));
    ProcessBuilder builder = new ProcessBuilder(command).redirectErrorStream(true)
        .redirectOutput(outputFile.toFile());
    builder.environment().put("OSXNATIVES_SIM_SCENARIO", scenarioFile.toString());
    builder.environment().put("OSXNATIVES_SIM_JOURNAL", journalFile.toString());
    Process process = builder.start();
    boolean exited = process.waitFor(90, TimeUnit.SECONDS);
    if (!exited) {
      process.destroyForcibly().waitFor();
    }
    String output = Files.readString(outputFile, StandardCharsets.UTF_8);
    assertTrue(exited, "the child JVM did not exit:\n" + output);
    Map<String, String> facts = new HashMap<>();
    for (String line : output.split("\n")) {
      int eq = line.indexOf('=');
      if (eq > 0 && line.substring(0, eq).matches("[A-Za-z]+")) {
        facts.put(line.substring(0, eq), line.substring(eq + 1));
      }
    }
    List<String> journal =
        Files.exists(journalFile) ? Files.readAllLines(journalFile, StandardCharsets.UTF_8)
            : List.of();
    assertFalse(output.contains("WARNING in native method"), "JNI warnings:\n" + output);
    assertFalse(output.contains("A fatal error has been detected"), output);
    return new Run(process.exitValue(), facts, output, journal);
  }

  private static String scenario(String keyWindowTitle, List<String> events) {
    String title = keyWindowTitle == null ? "" : "\"keyWindowTitle\":\"" + keyWindowTitle + "\",";
    return "{" + title + "\"inputEvents\":[" + String.join(",", events) + "]}";
  }

  private static List<String> delivered(Run run) {
    return run.journal().stream().filter(l -> l.contains("\"call\":\"deliver\"")).toList();
  }

  @Test
  void commandQOverAnErrorWindowIsSwallowedWithoutACloseRequest() throws Exception {
    Run run = run("error-window", scenario("ErrorWindow", List.of(CMD_Q, CMD_SHIFT_Q, CMD_H)),
        "op", "null", "false", "1");
    assertEquals(0, run.exitCode(), run.output());
    assertEquals("true", run.facts().get("done"), run.output());
    assertEquals("2", run.facts().get("q"));
    assertEquals("0", run.facts().get("close"));
    assertEquals(3, delivered(run).size());
    assertTrue(
        delivered(run).stream()
            .allMatch(l -> l.contains("\"result\":\"swallowed\"") && l.contains("\"monitors\":1")),
        delivered(run).toString());
  }

  @Test
  void fiveThousandQueuedEventsAllArriveAndTheJvmShutsDown() throws Exception {
    List<String> events = new ArrayList<>();
    String[] cycle = {CMD_Q, KEY_A, MIDDLE_CLICK, CMD_H};
    for (int i = 0; i < 5000; i++) {
      events.add(cycle[i % cycle.length]);
    }
    Run run = run("five-thousand", scenario(null, events), "op", "", "false", "1250");
    assertEquals(0, run.exitCode(), run.output());
    assertEquals("true", run.facts().get("done"), run.output());
    assertEquals("1250", run.facts().get("q"));
    assertEquals("1250", run.facts().get("h"));
    assertEquals("1250", run.facts().get("close"));
    assertEquals("1", run.facts().get("platformThreads"));
    assertEquals("false", run.facts().get("callerThread"));
    List<String> delivered = delivered(run);
    assertEquals(5000, delivered.size());
    for (int i = 0; i < delivered.size(); i++) {
      String expected = i % 4 == 1 ? "\"result\":\"passed\"" : "\"result\":\"swallowed\"";
      assertTrue(delivered.get(i).contains(expected), i + ": " + delivered.get(i));
    }
  }

  @Test
  void throwingCallbacksDoNotStopThePlatformThread() throws Exception {
    String scenario = "{\"inputEvents\":[" + String.join(",", CMD_Q, CMD_Q, CMD_Q, CMD_H) + "],"
        + "\"appleEvents\":[{\"eventClass\":\"GURL\",\"eventID\":\"GURL\",\"url\":\"kestrelgate://a\"},"
        + "{\"eventClass\":\"GURL\",\"eventID\":\"GURL\",\"url\":\"kestrelgate://b\"}]}";
    Run run = run("throwing", scenario, "op", "null", "false", "1", "throw");
    assertEquals(0, run.exitCode(), run.output());
    assertEquals("true", run.facts().get("done"), run.output());
    assertEquals("3", run.facts().get("q"));
    assertEquals("3", run.facts().get("close"));
    assertTrue(run.output().contains("listener failure on close"), run.output());
    assertEquals(4, delivered(run).stream().filter(l -> l.contains("NSEvent")).count());
    assertEquals(2, delivered(run).stream().filter(l -> l.contains("NSAppleEventManager")).count());
  }

  @Test
  void exitingWhileThePlatformThreadDeliversIsClean() throws Exception {
    List<String> events = new ArrayList<>();
    for (int i = 0; i < 5000; i++) {
      events.add(CMD_Q);
    }
    Run run = run("exit-early", scenario(null, events), "op", "", "false", "0", "exit-early");
    assertEquals(0, run.exitCode(), run.output());
  }
}
