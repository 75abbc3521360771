package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
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
  /** A string member of a process object (the library writes text without escapes). */
  private static final Pattern MEMBER =
      Pattern.compile("\"(\\w+)\"\\s*:\\s*\"((?:[^\"\\\\]|\\\\.)*)\"");

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

  /** The process objects of a document, each with its text, members in order. */
  private static List<Map<String, String>> processes(String document) {
    assertTrue(document.strip().startsWith("{") && document.contains("\"processes\""), document);
    List<Map<String, String>> objects = new ArrayList<>();
    Matcher object = OBJECT.matcher(document);
    while (object.find()) {
      Map<String, String> members = new LinkedHashMap<>();
      members.put("", object.group());
      Matcher member = MEMBER.matcher(object.group());
      while (member.find()) {
        members.put(member.group(1), member.group(2));
      }
      objects.add(members);
    }
    return objects;
  }

  private List<Map<String, String>> childEntries(String document) {
    List<String> pids = children.stream().map(p -> Long.toString(p.pid())).toList();
    return processes(document).stream().filter(e -> pids.contains(e.get("pid"))).toList();
  }

  /** A document of the given objects, each exactly as the library wrote it. */
  private static String documentOf(List<Map<String, String>> entries) {
    return entries.stream()
        .map(e -> e.get(""))
        .collect(Collectors.joining(", ", "{\"processes\": [", "]}"));
  }

  private static char stateOf(long pid) throws IOException {
    String line = Files.readString(Path.of("/proc/" + pid + "/stat"));
    return line.charAt(line.lastIndexOf(')') + 2);
  }

  /** Polls /proc (external state) until every child is or is not stopped, for up to 10 s. */
  private void awaitStopped(boolean stopped) throws Exception {
    long deadline = System.nanoTime() + TimeUnit.SECONDS.toNanos(10);
    for (Process child : children) {
      while ((stateOf(child.pid()) == 'T') != stopped) {
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
  void listingDescribesTheChildrenAndLeavesTheHostOut() throws Exception {
    String document = OSXNativeProvider.getAllProcesses("");
    String sleepPath = Path.of("/bin/sleep").toRealPath().toString();
    List<Map<String, String>> entries = childEntries(document);
    assertEquals(2, entries.size(), document);
    for (Map<String, String> entry : entries) {
      assertEquals("sleep", entry.get("processName"));
      assertEquals(sleepPath, entry.get("processPath"));
      assertEquals("JUnitHost", entry.get("parentProcessName"));
      assertEquals("NONWINDOW", entry.get("processType"));
      assertEquals("ACTIVE", entry.get("state"));
    }
    String self = Long.toString(ProcessHandle.current().pid());
    assertFalse(processes(document).stream().anyMatch(e -> self.equals(e.get("pid"))));
    assertTrue(RECORDER.calls().isEmpty(), RECORDER.calls().toString());
  }

  @Test
  void onlyThePeriodicPhaseLimitsWindowsToTheScreen() {
    // The scenario gives pid 1 one window, off screen.
    for (String phase : new String[] {"", "periodic", "START", "PERIODIC"}) {
      Map<String, String> init =
          processes(OSXNativeProvider.getAllProcesses(phase)).stream()
              .filter(e -> "1".equals(e.get("pid")))
              .findFirst()
              .orElseThrow();
      assertEquals(phase.equals("PERIODIC") ? "NONWINDOW" : "WINDOW", init.get("processType"),
          phase);
    }
  }

  @Test
  void listedDocumentPausesResumesAndKillsTheChildren() throws Exception {
    String document = documentOf(childEntries(OSXNativeProvider.getAllProcesses("")));

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
    String ghost = "{\"processes\": [{\"pid\": \"" + IMPOSSIBLE_PID
        + "\", \"processName\": \"gh\u00f6st \ud83d\udc7b\"}]}";
    for (String returned :
        new String[] {OSXNativeProvider.pauseAllProcesses(ghost),
            OSXNativeProvider.killAllProcesses(ghost)}) {
      List<Map<String, String>> entries = processes(returned);
      assertEquals(1, entries.size(), returned);
      assertEquals(IMPOSSIBLE_PID, entries.get(0).get("pid"));
      assertEquals("gh\u00f6st \ud83d\udc7b", entries.get(0).get("processName"));
      assertEquals("WINDOW", entries.get(0).get("processType"));
      assertEquals("ACTIVE", entries.get(0).get("state"));
    }
  }

  @Test
  void badDocumentsAreLoggedAndAnswerEmpty() {
    assertEquals("", OSXNativeProvider.pauseAllProcesses("not json"));
    assertEquals("", OSXNativeProvider.killAllProcesses("[]"));
    OSXNativeProvider.resumeAllProcesses("{}");
    List<Recorder.Call> calls = RECORDER.calls();
    assertEquals(3, calls.size(), calls.toString());
    assertTrue(calls.get(0).text().startsWith("Process json conversion failed for PAUSE with error: "));
    assertEquals("error", calls.get(0).level());
    assertEquals("Process json conversion failed for KILL with error", calls.get(1).text());
    assertEquals("error", calls.get(1).level());
    assertEquals("Process json conversion failed for RESUME with error", calls.get(2).text());
    assertEquals("error", calls.get(2).level());
  }

  @Test
  void pathsOfProcesses() throws Exception {
    String sleepPath = Path.of("/bin/sleep").toRealPath().toString();
    assertEquals(sleepPath, OSXNativeProvider.getProcessPath(Long.toString(children.get(0).pid())));
    String missing = OSXNativeProvider.getProcessPath(IMPOSSIBLE_PID);
    assertNotNull(missing);
    assertEquals("", missing);
  }
}
