package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;

/**
 * The environment checks and utilities through the real library, on the desktop of
 * scenarios/ChecksTest.json: camera denied, microphone not yet asked, accessibility granted after
 * two polls, a utun interface, two external mice and one external keyboard.
 */
class ChecksTest {
  private static final Recorder RECORDER = new Recorder();
  private final Journal journal = new Journal();

  @BeforeAll
  static void load() {
    OSXNativeProvider.setListener(RECORDER);
    OSXNativeProvider.load();
  }

  @BeforeEach
  void reset() throws Exception {
    RECORDER.clear();
    journal.skip();
  }

  @Test
  void infoPlistTextAndNullKeyCrossJni() {
    // A character outside the BMP crosses JNI's modified UTF-8 intact.
    assertEquals("Prüfung 𝄞 Analysis", OSXNativeProvider.getInfoPlistProperty("KGExamTitle"));
    assertEquals("", OSXNativeProvider.getInfoPlistProperty("KGMaxAttempts"));
    assertEquals(List.of(), RECORDER.messages());
    assertNull(OSXNativeProvider.getInfoPlistProperty(null));
    assertEquals(List.of("getInfoPlistProperty: null string argument"), RECORDER.messages());
  }

  @Test
  void environmentAnswersFromTheScenario() {
    assertEquals(1, OSXNativeProvider.checkVpn());
    assertEquals(2, OSXNativeProvider.getUsbMouseCount());
    assertEquals(1, OSXNativeProvider.getUsbKeyboardCount());
    assertEquals(List.of(), RECORDER.messages());
  }

  @Test
  void permissionAnswersArriveFromAnotherThread() throws Exception {
    OSXNativeProvider.requestMicrophonePermission();
    OSXNativeProvider.requestCameraPermission();
    assertTrue(
        RECORDER.await(calls -> calls.size() >= 4, 10), () -> RECORDER.calls().toString());

    List<Recorder.Call> calls = RECORDER.calls();
    assertEquals(4, calls.size(), calls.toString());
    Thread caller = Thread.currentThread();
    List<String> onCaller =
        calls.stream().filter(c -> c.thread() == caller).map(Recorder.Call::text).toList();
    List<Recorder.Call> answers = calls.stream().filter(c -> c.thread() != caller).toList();
    assertEquals(
        List.of("check For Microphone Permission", "check For Camera Permission"), onCaller);
    assertEquals(List.of("Audio authorized", "Camera not authorized"),
        answers.stream().map(Recorder.Call::text).toList());
    answers.forEach(c -> assertEquals("INFO", c.level()));
    String request = "requestAccessForMediaType:completionHandler:";
    assertEquals(List.of(Journal.entry("AVCaptureDevice", request, "{\"mediaType\":\"soun\"}"),
            Journal.entry("AVCaptureDevice", request, "{\"mediaType\":\"vide\"}")),
        journal.since());

    // The microphone is authorised now: asking again does nothing but log.
    RECORDER.clear();
    OSXNativeProvider.requestMicrophonePermission();
    assertEquals(List.of("check For Microphone Permission"), RECORDER.messages());
    assertEquals(List.of(), journal.since());
  }

  @Test
  void accessibilityBlocksForTheConfiguredPolls() throws Exception {
    long start = System.nanoTime();
    OSXNativeProvider.requestAccessibilityPermission();
    long elapsed = System.nanoTime() - start;

    assertTrue(elapsed >= TimeUnit.MILLISECONDS.toNanos(2000), "returned after " + elapsed + " ns");
    assertEquals(
        List.of(
            "check For Accessibility Permission",
            "User provided accessibility permissions to Kestrelgate application"),
        RECORDER.messages());
    String check = "AXIsProcessTrustedWithOptions";
    String noPrompt = "{\"prompt\":false}";
    assertEquals(List.of(Journal.entry(check, check, "{\"prompt\":true}"),
            Journal.entry(check, check, noPrompt), Journal.entry(check, check, noPrompt),
            Journal.entry(check, check, noPrompt)),
        journal.since());
  }
}
