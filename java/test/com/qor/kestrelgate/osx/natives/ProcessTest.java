package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import java.util.stream.Collectors;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;

/**
 * Drives the process natives against real children of this JVM. Every document sent to pause,
 * kill or resume names only those children (or a pid that cannot exist), so nothing else on the
 * machine is ever signalled.
 */
class ProcessTest {
  private static final Recorder RECORDER = new Recorder();
  /** Above every possible pid_max: a signal to it always fails. */
  private static final String IMPOSSIBLE_PID = "2147483647";
  /** A process object: the document's objects hold no nested objects. */
  private static final Pattern OBJECT = Pattern.compile("\\{[^{}]*\\}");

  private final List<Process> children = new ArrayList<>();

  @BeforeAll
  static void load() {
    OSXNativeProvider.setListener(RECORDER);
    OSXNativeProvider.load();
  }

  @BeforeEach
  void startChildren() throws IOException {
    RECORDER.clear();
    for (int i = 0; i < 2; i++) {
      children.add(new ProcessBuilder("sleep", "600").start());
    }
  }

  @AfterEach
  void endChildren() throws InterruptedException {
    for (Process child : children) {
      child.destroyForcibly();
      child.waitFor();
    }
  }

  /** The process objects of a document, each exactly as the library wrote it. */
  private static List<String> objects(String document) {
    assertTrue(document.strip().startsWith("{") && document.contains("\"processes\""), document);
    List<String> objects = new ArrayList<>();
    for (Matcher object = OBJECT.matcher(document); object.find(); ) {
      objects.add(object.group());
    }
    return objects;
  }

  private static String pidOf(String object) {
    Matcher pid = Pattern.compile("\"pid\"\\s*:\\s*\"(\\d+)\"").matcher(object);
    return pid.find() ? pid.group(1) : "";
  }

  /** Polls /proc (external state) until every child is or is not stopped, for up to 10 s. */
  private void awaitStopped(boolean stopped) throws Exception {
    long deadline = System.nanoTime() + TimeUnit.SECONDS.toNanos(10);
    for (Process child : children) {
      String stat = "/proc/" + child.pid() + "/stat";
      while (true) {
        String line = Files.readString(Path.of(stat));
        if ((line.charAt(line.lastIndexOf(')') + 2) == 'T') == stopped) {
          break;
        }
        assertTrue(System.nanoTime() < deadline, "child " + child.pid() + " never changed");
        Thread.onSpinWait();
      }
    }
  }

  @Test
  void currentProcessIdIsThisJvm() {
    assertEquals(ProcessHandle.current().pid(), OSXNativeProvider.getCurrentProcessId());
    assertTrue(RECORDER.calls().isEmpty());
  }

  @Test
  void listedDocumentPausesResumesAndKillsTheChildren() throws Exception {
    List<String> listed = objects(OSXNativeProvider.getAllProcesses(""));
    String self = Long.toString(ProcessHandle.current().pid());
    assertFalse(listed.stream().anyMatch(o -> self.equals(pidOf(o))));
    List<String> pids = children.stream().map(p -> Long.toString(p.pid())).toList();
    List<String> mine = listed.stream().filter(o -> pids.contains(pidOf(o))).toList();
    assertEquals(2, mine.size(), listed.toString());
    assertTrue(mine.get(0).contains("\"parentProcessName\": \"JUnitHost\""), mine.get(0));
    String document = mine.stream().collect(Collectors.joining(", ", "{\"processes\": [", "]}"));

    assertEquals("", OSXNativeProvider.pauseAllProcesses(document));
    awaitStopped(true);
    OSXNativeProvider.resumeAllProcesses(document);
    awaitStopped(false);
    assertEquals("", OSXNativeProvider.killAllProcesses(document));
    for (Process child : children) {
      assertTrue(child.waitFor(10, TimeUnit.SECONDS));
      assertEquals(128 + 9, child.exitValue());
    }
    assertEquals(
        List.of("Pausing processes: sleep, sleep, ", "Resuming processes: sleep, sleep, ",
            "Killing processes: sleep, sleep, "),
        RECORDER.messages());
  }

  @Test
  void undeliverableSignalComesBackWithItsName() {
    String name = "gh\u00f6st \ud83d\udc7b"; // outside the BMP: JNI's modified UTF-8
    String ghost =
        "{\"processes\": [{\"pid\": \"" + IMPOSSIBLE_PID + "\", \"processName\": \"" + name + "\"}]}";
    for (String returned :
        new String[] {OSXNativeProvider.pauseAllProcesses(ghost),
            OSXNativeProvider.killAllProcesses(ghost)}) {
      List<String> entries = objects(returned);
      assertEquals(1, entries.size(), returned);
      assertEquals(IMPOSSIBLE_PID, pidOf(entries.get(0)));
      assertTrue(entries.get(0).contains("\"processName\": \"" + name + "\""), returned);
    }
  }
}
