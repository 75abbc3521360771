package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.regex.MatchResult;
import java.util.regex.Pattern;
import java.util.stream.Collectors;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.MethodOrderer;
import org.junit.jupiter.api.Order;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestMethodOrder;

/**
 * The natives called from this JVM on the desktop of scenarios/NativesTest.json, the input filter
 * and URL hand-over in a session's order. Process documents name only children of this JVM or a
 * pid that cannot exist.
 */
@TestMethodOrder(MethodOrderer.OrderAnnotation.class)
class NativesTest {
  private static final Recorder RECORDER = new Recorder(false);
  private static final Journal JOURNAL = new Journal();

  @BeforeAll
  static void load() {
    OSXNativeProvider.setListener(RECORDER);
    OSXNativeProvider.load();
  }

  @BeforeEach
  void reset() throws Exception {
    RECORDER.clear();
    JOURNAL.since();
  }

  private static Recorder.Call onCaller(String log) {
    return new Recorder.Call("log", log, "INFO", Thread.currentThread());
  }

  /** The calls as "kind text", after checking that they came from one thread other than this. */
  private static List<String> fromOnePlatformThread(List<Recorder.Call> calls) {
    assertEquals(1, calls.stream().map(Recorder.Call::thread).distinct().count(), calls::toString);
    assertNotEquals(Thread.currentThread(), calls.get(0).thread());
    return calls.stream().map(c -> c.kind() + " " + c.text()).toList();
  }

  @Test
  void answersCrossJni() {
    // A character outside the BMP crosses JNI's modified UTF-8 intact.
    assertEquals("Prüfung 𝄞 Analysis", OSXNativeProvider.getInfoPlistProperty("KGExamTitle"));
    assertNull(OSXNativeProvider.getInfoPlistProperty(null));
    assertEquals(List.of(1, 2, 1, 0, 3), List.of(OSXNativeProvider.checkVpn(),
        OSXNativeProvider.getUsbMouseCount(), OSXNativeProvider.getUsbKeyboardCount(),
        OSXNativeProvider.checkScreenSharing(), OSXNativeProvider.getDisplayCount()));
    assertEquals("Studio Display", OSXNativeProvider.getMainScreenName());
    assertEquals(ProcessHandle.current().info().command().orElseThrow(),
        OSXNativeProvider.getProcessPath(Long.toString(ProcessHandle.current().pid())));
    assertEquals(ProcessHandle.current().pid(), OSXNativeProvider.getCurrentProcessId());
    assertEquals(List.of("getInfoPlistProperty: null string argument"), RECORDER.messages());
  }

  @Test
  void permissionAnswersArriveFromAnotherThread() throws Exception {
    OSXNativeProvider.requestMicrophonePermission();
    OSXNativeProvider.requestCameraPermission();
    assertTrue(RECORDER.await(calls -> calls.size() >= 4, 10), RECORDER::toString);
    Thread caller = Thread.currentThread();
    assertEquals(List.of("Audio authorized", "Camera not authorized"), RECORDER.calls().stream()
        .filter(c -> c.thread() != caller).map(Recorder.Call::text).toList());
    OSXNativeProvider.requestAccessibilityPermission(); // returns once granted
    assertEquals("User provided accessibility permissions to Kestrelgate application",
        RECORDER.messages().get(RECORDER.messages().size() - 1));
  }

  @Test
  void presentationChangesLogOnTheCallerThreadEvenToAThrowingListener() throws Exception {
    OSXNativeProvider.hideDockAndMenu();
    OSXNativeProvider.hideDock();
    OSXNativeProvider.setListener(new Recorder(true));
    try {
      OSXNativeProvider.hideDock();
    } finally {
      OSXNativeProvider.setListener(RECORDER);
    }
    OSXNativeProvider.showDockAndMenu();
    assertEquals(List.of(onCaller("Hide dock"), onCaller("Hide dock"), onCaller("Show dock")),
        RECORDER.calls());
    assertEquals(List.of("442", "26", "26", "0"), JOURNAL.since().stream()
        .filter(l -> l.contains("setPresentationOptions:"))
        .map(l -> l.replaceAll(".*\"options\":([0-9]+).*", "$1")).toList());
  }

  /** The process objects of a document (they hold no nested objects), as the library wrote them. */
  private static List<String> objects(String document) {
    return Pattern.compile("\\{[^{}]*}").matcher(document).results().map(MatchResult::group).toList();
  }

  @Test
  void listedDocumentPausesResumesAndKillsTheChildren() throws Exception {
    List<Process> children = List.of(new ProcessBuilder("sleep", "600").start(),
        new ProcessBuilder("sleep", "600").start());
    try {
      List<String> pids = children.stream().map(p -> "\"pid\": \"" + p.pid() + "\"").toList();
      List<String> mine = objects(OSXNativeProvider.getAllProcesses("")).stream()
          .filter(o -> pids.stream().anyMatch(o::contains)).toList();
      assertEquals(2, mine.size());
      assertTrue(mine.get(0).contains("\"parentProcessName\": \"Kestrelgate\""), mine.get(0));
      String document = mine.stream().collect(Collectors.joining(", ", "{\"processes\": [", "]}"));

      assertEquals("", OSXNativeProvider.pauseAllProcesses(document));
      OSXNativeProvider.resumeAllProcesses(document);
      assertEquals("", OSXNativeProvider.killAllProcesses(document));
      for (Process child : children) {
        assertEquals(128 + 9, child.onExit().get(10, TimeUnit.SECONDS).exitValue());
      }
      assertEquals(List.of("Pausing processes: sleep, sleep, ",
          "Resuming processes: sleep, sleep, ", "Killing processes: sleep, sleep, "),
          RECORDER.messages());
    } finally {
      children.forEach(Process::destroyForcibly);
    }
  }

  @Test
  void undeliverableSignalComesBackWithItsName() {
    // A pid above every possible pid_max, and a name outside the BMP.
    String name = "\"processName\": \"gh\u00f6st \ud83d\udc7b\"";
    String document = "{\"processes\": [{\"pid\": \"2147483647\", " + name + "}]}";
    for (String returned : List.of(OSXNativeProvider.pauseAllProcesses(document),
        OSXNativeProvider.killAllProcesses(document))) {
      List<String> back = objects(returned);
      assertTrue(back.size() == 1 && back.get(0).contains("\"pid\": \"2147483647\"")
          && back.get(0).contains(name), returned);
    }
  }

  @Test
  @Order(1)
  void startFiltersTheQueuedInputOnThePlatformThread() throws Exception {
    OSXNativeProvider.startEventListener("OP", null, false);
    assertTrue(RECORDER.await(calls -> calls.stream()
        .filter(c -> "key down CMD + H".equals(c.text())).count() == 2, 30), RECORDER::toString);
    List<Recorder.Call> calls = RECORDER.calls();
    assertEquals(onCaller("Starting Event Listener"), calls.get(0));
    assertEquals(List.of("log key down CMD + Q", "log Close request",
        "log Sending external close request event to the Java app", "close null",
        "log key down CMD + H", "log key down CMD + H"),
        fromOnePlatformThread(calls.subList(1, calls.size())));
  }

  @Test
  @Order(2)
  void getUrlEventsReachNavigateToUrlUnchanged() throws Exception {
    OSXNativeProvider.startAppDelegation();
    assertTrue(RECORDER.await(calls -> calls.size() == 3, 30), RECORDER::toString);
    // The open-document event has no handler and reaches nobody.
    assertEquals(List.of("url kestrelgate://exam/42?lang=fr&q=caf\u00e9 au lait#start",
        "url kestrelgate://exam/43"), fromOnePlatformThread(RECORDER.calls().subList(1, 3)));
  }

  @Test
  @Order(3)
  void stopRemovesTheMonitors() throws Exception {
    OSXNativeProvider.stopEventListener();
    assertEquals(4, JOURNAL.since().stream().filter(l -> l.contains("removeMonitor:")).count());
    assertEquals(List.of("Stoppinging Event Listener"), RECORDER.messages());
  }

  @Test
  @Order(4)
  void nullClientBehavesAsTheEmptyClient() throws Exception {
    OSXNativeProvider.startEventListener("ap", null, false);
    List<String> withNull = installs();
    OSXNativeProvider.startEventListener("ap", "", false);
    assertEquals(3, withNull.size(), withNull::toString);
    assertEquals(withNull, installs());
  }

  private static List<String> installs() throws Exception {
    return JOURNAL.since().stream().filter(l -> l.contains("MonitorForEventsMatchingMask:handler:"))
        .map(l -> l.replaceAll(".*\"call\":\"(add[A-Za-z]+)MonitorFor.*\"mask\":([0-9]+).*",
            "$1 $2"))
        .toList();
  }
}
