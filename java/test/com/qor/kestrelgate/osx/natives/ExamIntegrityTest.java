package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import java.util.concurrent.BlockingQueue;
import java.util.concurrent.LinkedBlockingQueue;
import java.util.concurrent.TimeUnit;
import java.util.regex.Pattern;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * ExamIntegrity on the desktop of scenarios/ExamIntegrityTest.json: a virtual machine, a hidden
 * overlay of another application, a mirrored display, a virtual camera, iPhone Mirroring running,
 * two host windows and an application launched and terminated mid-exam, each read back from the
 * report or the watch.
 */
class ExamIntegrityTest {
  private static final Journal JOURNAL = new Journal();

  @BeforeAll
  static void load() {
    OSXNativeProvider.setListener(new Recorder(false));
    OSXNativeProvider.load();
  }

  /** The report's text with the section {@code name} cut out (up to the next top-level key). */
  private static String section(String report, String name) {
    int start = report.indexOf("\"" + name + "\":");
    assertTrue(start >= 0, name + " missing in " + report);
    return report.substring(start);
  }

  private static void assertHas(String text, String... parts) {
    for (String part : parts) {
      assertTrue(text.contains(part), "no " + part + " in " + text);
    }
  }

  @Test
  void reportCarriesEverySectionAcrossJni() {
    String report = ExamIntegrity.integrityReport();
    assertTrue(report.startsWith("{") && report.endsWith("}"), report);
    // One staged fact per section: what each fact says is the C++ suites' to check.
    // Keys come in name order: cameras, deviceBridges, displays, version, virtualMachine, windows.
    String cameras = section(report, "cameras");
    assertHas(cameras.substring(0, cameras.indexOf("\"deviceBridges\"")),
        "\"virtualCameraMarker\":\"OBS Virtual\"");
    assertHas(section(report, "deviceBridges"),
        "{\"bridge\":\"iPhone Mirroring\",\"bundleIdentifier\":\"com.apple.ScreenContinuity\","
            + "\"matchedBy\":\"bundle identifier\",\"pid\":4720,"
            + "\"processName\":\"iPhone Mirroring\"}");
    String displays = section(report, "displays");
    assertHas(displays, "\"mirrorOf\":1");
    String vm = section(report, "virtualMachine");
    assertHas(vm, "\"verdict\":\"yes\"");
    String windows = section(report, "windows");
    // Only the other application's overlay; our own window and the plain one are not findings.
    assertEquals(1, Pattern.compile("\"why\":").matcher(windows).results().count(), windows);
    assertHas(windows, "\"ownerName\":\"Answers Overlay\"", "\"ownerPid\":4711",
        "\"why\":[\"sharingStateNone\",\"aboveNormalWindows\",\"translucent\"]",
        "\"bounds\":{\"height\":300.0,\"width\":420.0,\"x\":900.0,\"y\":40.0}",
        "\"examined\":2");
  }

  @Test
  void launchesArriveOnAPlatformThreadAndTheWatchAnswersClearly() throws Exception {
    assertEquals(ExamIntegrity.WatchOutcome.NOT_RUNNING,
        ExamIntegrity.stopApplicationWatch().outcome());
    BlockingQueue<Object[]> events = new LinkedBlockingQueue<>();
    ExamIntegrity.WatchResult started = ExamIntegrity.startApplicationWatch(
        event -> events.add(new Object[] {event, Thread.currentThread()}));
    assertEquals(ExamIntegrity.WatchOutcome.STARTED, started.outcome(), started.toString());
    assertEquals(ExamIntegrity.WatchOutcome.ALREADY_RUNNING,
        ExamIntegrity.startApplicationWatch(event -> { }).outcome());

    Object[] launch = events.poll(10, TimeUnit.SECONDS);
    Object[] termination = events.poll(10, TimeUnit.SECONDS);
    assertEquals(new ExamIntegrity.ApplicationEvent(true, 4800, "com.example.AnswerBot",
        "AnswerBot"), launch[0]);
    assertEquals(new ExamIntegrity.ApplicationEvent(false, 4800, "com.example.AnswerBot",
        "AnswerBot"), termination[0]);
    assertFalse(launch[1] == Thread.currentThread());

    assertEquals(ExamIntegrity.WatchOutcome.STOPPED,
        ExamIntegrity.stopApplicationWatch().outcome());
    assertEquals(ExamIntegrity.WatchOutcome.NOT_RUNNING,
        ExamIntegrity.stopApplicationWatch().outcome());
    List<String> journal = JOURNAL.since();
    String names = "{\"names\":[\"NSWorkspaceDidLaunchApplicationNotification\","
        + "\"NSWorkspaceDidTerminateApplicationNotification\"]}";
    assertEquals(List.of(Journal.entry("NSWorkspace", "addObserver", names),
        Journal.entry("NSWorkspace", "removeObserver", names)),
        journal.stream().filter(line -> line.contains("\"NSWorkspace\"")).toList());
  }

  @Test
  void windowsAreProtectedAndGetTheirOwnSharingTypeBack() throws Exception {
    JOURNAL.since();
    assertEquals("{\"status\":\"known\",\"windows\":["
        + "{\"changed\":true,\"previous\":1,\"windowNumber\":1},"
        + "{\"changed\":true,\"previous\":2,\"windowNumber\":2}]}",
        ExamIntegrity.protectWindowsFromCapture());
    assertEquals("{\"status\":\"known\",\"windows\":["
        + "{\"present\":true,\"restored\":1,\"windowNumber\":1},"
        + "{\"present\":true,\"restored\":2,\"windowNumber\":2}]}",
        ExamIntegrity.restoreWindowCapture());
    assertEquals(List.of(
        Journal.entry("NSWindow", "setSharingType:", "{\"sharingType\":0,\"windowNumber\":1}"),
        Journal.entry("NSWindow", "setSharingType:", "{\"sharingType\":0,\"windowNumber\":2}"),
        Journal.entry("NSWindow", "setSharingType:", "{\"sharingType\":1,\"windowNumber\":1}"),
        Journal.entry("NSWindow", "setSharingType:", "{\"sharingType\":2,\"windowNumber\":2}")),
        JOURNAL.since());
  }
}
