package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import java.util.Set;
import java.util.stream.Collectors;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.MethodOrderer;
import org.junit.jupiter.api.Order;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestMethodOrder;

/**
 * Drives the input filter and the URL hand-over through the real library, in the order a session
 * uses them, against the queued events of scenarios/EventListenerTest.json: no key window, the
 * companion application running, macOS 14.2.
 */
@TestMethodOrder(MethodOrderer.OrderAnnotation.class)
class EventListenerTest {
  private static final Recorder RECORDER = new Recorder();
  private static final Journal JOURNAL = new Journal();

  @BeforeAll
  static void load() throws Exception {
    OSXNativeProvider.setListener(RECORDER);
    OSXNativeProvider.load();
    RECORDER.clear();
  }

  private static long count(List<Recorder.Call> calls, String message) {
    return calls.stream().filter(c -> message.equals(c.text())).count();
  }

  private static List<String> journalCalls(String service, String call) throws Exception {
    String prefix = "{\"service\":\"" + service + "\",\"call\":\"" + call + "\"";
    return JOURNAL.all().stream().filter(l -> l.startsWith(prefix)).toList();
  }

  @Test
  @Order(2)
  void startFiltersTheQueuedInputOnThePlatformThread() throws Exception {
    assertEquals(List.of(), journalCalls("NSEvent", "deliver"));
    OSXNativeProvider.startEventListener("OP", null, false);
    assertTrue(
        RECORDER.await(calls -> count(calls, "key down CMD + H") == 2, 30), RECORDER.calls().toString());

    List<Recorder.Call> calls = RECORDER.calls();
    assertEquals("Starting Event Listener", calls.get(0).text());
    assertEquals(Thread.currentThread(), calls.get(0).thread());
    List<Recorder.Call> fromPlatform = calls.subList(1, calls.size());
    assertEquals(
        List.of(
            "log key down CMD + Q",
            "log Close request",
            "log Sending external close request event to the Java app",
            "close null",
            "log key down CMD + H",
            "log key down CMD + H"),
        fromPlatform.stream().map(c -> c.kind() + " " + c.text()).toList());
    Set<Thread> threads = fromPlatform.stream().map(Recorder.Call::thread).collect(Collectors.toSet());
    assertEquals(1, threads.size(), threads.toString());
    assertNotEquals(Thread.currentThread(), threads.iterator().next());

    assertEquals(
        List.of("swallowed", "swallowed", "passed", "passed", "passed", "swallowed", "swallowed",
            "swallowed", "passed", "swallowed"),
        journalCalls("NSEvent", "deliver").stream()
            .map(l -> l.replaceAll(".*\"result\":\"([a-z]+)\".*", "$1"))
            .toList());
    // Command+Tab in the browser brings the companion forward; Command+Tab seen by the global
    // monitor while the companion is frontmost brings the browser back.
    assertEquals(
        List.of(
            Journal.entry("NSApplication", "yieldActivationToApplication:",
                "{\"bundleIdentifier\":\"com.electron.pimzo\"}"),
            Journal.entry("NSRunningApplication", "activateWithOptions:",
                "{\"bundleIdentifier\":\"com.electron.pimzo\",\"options\":0}"),
            Journal.entry("NSApplication", "yieldActivationToApplication:",
                "{\"bundleIdentifier\":\"com.trevant.qor.Kestrelgate\"}"),
            Journal.entry("NSRunningApplication", "activateWithOptions:",
                "{\"bundleIdentifier\":\"com.trevant.qor.Kestrelgate\",\"options\":0}")),
        JOURNAL.all().stream()
            .filter(l -> l.contains("\"call\":\"yieldActivationToApplication:\"")
                || l.contains("\"call\":\"activateWithOptions:\""))
            .toList());
  }

  @Test
  @Order(3)
  void getUrlEventsReachNavigateToUrlUnchanged() throws Exception {
    RECORDER.clear();
    OSXNativeProvider.startAppDelegation();
    assertTrue(
        RECORDER.await(calls -> calls.stream().filter(c -> c.kind().equals("url")).count() == 2,
            30),
        RECORDER.calls().toString());
    List<Recorder.Call> calls = RECORDER.calls();
    assertEquals("Starting app delegation Objective c", calls.get(0).text());
    List<Recorder.Call> urls = calls.stream().filter(c -> c.kind().equals("url")).toList();
    assertEquals(
        List.of("kestrelgate://exam/42?lang=fr&q=caf\u00e9 au lait#start", "kestrelgate://exam/43"),
        urls.stream().map(Recorder.Call::text).toList());
    assertNotEquals(Thread.currentThread(), urls.get(0).thread());
    // The open-document event has no handler and reaches nobody.
    assertEquals(3, calls.size(), calls.toString());
    assertEquals(
        List.of(
            Journal.entry("NSAppleEventManager",
                "setEventHandler:andSelector:forEventClass:andEventID:",
                "{\"eventClass\":\"GURL\",\"eventID\":\"GURL\"}")),
        journalCalls("NSAppleEventManager",
            "setEventHandler:andSelector:forEventClass:andEventID:"));
  }

  @Test
  @Order(4)
  void stopRemovesTheMonitorsInOrderAndAgainOnASecondStop() throws Exception {
    RECORDER.clear();
    JOURNAL.skip();
    OSXNativeProvider.stopEventListener();
    assertEquals(List.of("Stoppinging Event Listener"), RECORDER.messages());
    // Installed: 1 global key-down, 2 local key-down, 3 mouse and gesture, 4 pressure.
    assertEquals(List.of("2", "1", "3", "4"), removals(JOURNAL.since()));
    OSXNativeProvider.stopEventListener();
    assertEquals(List.of("2", "1", "3", "4"), removals(JOURNAL.since()));
  }

  @Test
  @Order(5)
  void nullClientBehavesAsTheEmptyClient() throws Exception {
    JOURNAL.skip();
    OSXNativeProvider.startEventListener("ap", null, false);
    List<String> withNull = installs(JOURNAL.since());
    OSXNativeProvider.startEventListener("ap", "", false);
    assertEquals(
        List.of("addLocal 1024", "addLocal 570425344", "addLocal 17179869184"), withNull);
    assertEquals(withNull, installs(JOURNAL.since()));
  }

  private static List<String> removals(List<String> lines) {
    return lines.stream()
        .filter(l -> l.contains("\"call\":\"removeMonitor:\""))
        .map(l -> l.replaceAll(".*\"monitor\":([0-9]+).*", "$1"))
        .toList();
  }

  private static List<String> installs(List<String> lines) {
    return lines.stream()
        .filter(l -> l.contains("MonitorForEventsMatchingMask:handler:"))
        .map(l -> l.replaceAll(".*\"call\":\"(add[A-Za-z]+)MonitorFor.*\"mask\":([0-9]+).*",
            "$1 $2"))
        .toList();
  }
}
