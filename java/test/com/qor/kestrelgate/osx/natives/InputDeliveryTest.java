package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collections;
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
  private static final String CMD_H = "{\"type\":\"keyDown\",\"keyCode\":4,\"modifierFlags\":1048576}";
  private static final String KEY_A = "{\"type\":\"keyDown\",\"keyCode\":0}";
  private static final String MIDDLE_CLICK = "{\"type\":\"otherMouseDown\"}";

  /** What a child run left behind: its output lines "name=value" and the journal's deliveries. */
  private record Run(Map<String, String> facts, String output, List<String> delivered) {}

  /** Runs EventProbe with {@code probeArgs} against {@code scenario}; asserts a clean exit. */
  private static Run run(String name, String scenario, String... probeArgs) throws Exception {
    String work = System.getenv("OSXNATIVES_TEST_WORK");
    Path dir = Files.createDirectories(
        Path.of(work == null || work.isEmpty() ? System.getProperty("java.io.tmpdir") : work, name));
    Path scenarioFile = Files.writeString(dir.resolve("scenario.json"), scenario);
    Path journalFile = dir.resolve("journal.jsonl");
    Path outputFile = dir.resolve("output.txt");
    List<String> command = new ArrayList<>(List.of(
        Path.of(System.getProperty("java.home"), "bin", "java").toString(), "-Xcheck:jni",
        "-Djava.library.path=" + System.getProperty("java.library.path"), "-cp",
        Path.of(OSXNativeProvider.class.getProtectionDomain().getCodeSource().getLocation().toURI())
            + File.pathSeparator
            + Path.of(EventProbe.class.getProtectionDomain().getCodeSource().getLocation().toURI()),
        EventProbe.class.getName()));
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
    assertEquals(0, process.exitValue(), output);
    assertFalse(output.contains("WARNING in native method"), "JNI warnings:\n" + output);
    assertFalse(output.contains("A fatal error has been detected"), output);
    Map<String, String> facts = new HashMap<>();
    for (String line : output.split("\n")) {
      if (line.matches("[A-Za-z]+=.*")) {
        facts.put(line.substring(0, line.indexOf('=')), line.substring(line.indexOf('=') + 1));
      }
    }
    List<String> journal = Files.exists(journalFile)
        ? Files.readAllLines(journalFile, StandardCharsets.UTF_8) : List.of();
    return new Run(facts, output,
        journal.stream().filter(l -> l.contains("\"call\":\"deliver\"")).toList());
  }

  private static String inputEvents(List<String> events) {
    return "{\"inputEvents\":[" + String.join(",", events) + "]}";
  }

  @Test
  void fiveThousandQueuedEventsAllArriveAndTheJvmShutsDown() throws Exception {
    List<String> events = new ArrayList<>();
    for (int i = 0; i < 1250; i++) {
      events.addAll(List.of(CMD_Q, KEY_A, MIDDLE_CLICK, CMD_H));
    }
    Run run = run("five-thousand", inputEvents(events), "1250");
    assertEquals("true", run.facts().get("done"), run.output());
    assertEquals("1250", run.facts().get("q"));
    assertEquals("1250", run.facts().get("h"));
    assertEquals("1250", run.facts().get("close"));
    assertEquals("1", run.facts().get("platformThreads"));
    assertEquals("false", run.facts().get("callerThread"));
    assertEquals(5000, run.delivered().size());
    for (int i = 0; i < run.delivered().size(); i++) {
      String expected = i % 4 == 1 ? "\"result\":\"passed\"" : "\"result\":\"swallowed\"";
      assertTrue(run.delivered().get(i).contains(expected), i + ": " + run.delivered().get(i));
    }
  }

  @Test
  void throwingCallbacksDoNotStopThePlatformThread() throws Exception {
    String scenario = "{\"inputEvents\":[" + String.join(",", CMD_Q, CMD_Q, CMD_Q, CMD_H) + "],"
        + "\"appleEvents\":[{\"eventClass\":\"GURL\",\"eventID\":\"GURL\",\"url\":\"kestrelgate://a\"},"
        + "{\"eventClass\":\"GURL\",\"eventID\":\"GURL\",\"url\":\"kestrelgate://b\"}]}";
    Run run = run("throwing", scenario, "1", "throw");
    assertEquals("true", run.facts().get("done"), run.output());
    assertEquals("3", run.facts().get("q"));
    assertEquals("3", run.facts().get("close"));
    assertTrue(run.output().contains("listener failure on close"), run.output());
    assertEquals(4, run.delivered().stream().filter(l -> l.contains("NSEvent")).count());
    assertEquals(2, run.delivered().stream().filter(l -> l.contains("NSAppleEventManager")).count());
  }

  @Test
  void exitingWhileThePlatformThreadDeliversIsClean() throws Exception {
    run("exit-early", inputEvents(Collections.nCopies(5000, CMD_Q)), "0", "exit-early");
  }
}
