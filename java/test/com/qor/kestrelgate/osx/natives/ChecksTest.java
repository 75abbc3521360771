package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.io.IOException;
import java.nio.channels.FileChannel;
import java.nio.channels.FileLock;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;
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
  void infoPlistGivesStringValuesOnly() {
    assertEquals("Kestrelgate", OSXNativeProvider.getInfoPlistProperty("CFBundleName"));
    assertEquals("4.2.1", OSXNativeProvider.getInfoPlistProperty("CFBundleShortVersionString"));
    assertEquals("Prüfung 𝄞 Analysis", OSXNativeProvider.getInfoPlistProperty("KGExamTitle"));
    assertEquals("", OSXNativeProvider.getInfoPlistProperty("KGMaxAttempts"));
    assertEquals("", OSXNativeProvider.getInfoPlistProperty("KGProctored"));
    assertEquals("", OSXNativeProvider.getInfoPlistProperty("NoSuchKey"));
    assertEquals(List.of(), RECORDER.messages());
  }

  @Test
  void nullInfoPlistKeyIsReportedNotThrown() {
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
    List<Recorder.Call> onCaller =
        calls.stream().filter(c -> c.thread() == caller).toList();
    List<Recorder.Call> answers = calls.stream().filter(c -> c.thread() != caller).toList();
    assertEquals(
        List.of("check For Microphone Permission", "check For Camera Permission"),
        onCaller.stream().map(Recorder.Call::text).toList());
    assertEquals(
        List.of("Audio authorized", "Camera not authorized"),
        answers.stream().map(Recorder.Call::text).toList());
    answers.forEach(c -> assertEquals("INFO", c.level()));
    assertEquals(
        List.of(
            Journal.entry("AVCaptureDevice", "requestAccessForMediaType:completionHandler:",
                "{\"mediaType\":\"soun\"}"),
            Journal.entry("AVCaptureDevice", "requestAccessForMediaType:completionHandler:",
                "{\"mediaType\":\"vide\"}")),
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
    assertEquals(
        List.of(
            Journal.entry(check, check, "{\"prompt\":true}"),
            Journal.entry(check, check, "{\"prompt\":false}"),
            Journal.entry(check, check, "{\"prompt\":false}"),
            Journal.entry(check, check, "{\"prompt\":false}")),
        journal.since());

    RECORDER.clear();
    OSXNativeProvider.requestAccessibilityPermission();
    assertEquals(
        List.of(
            "check For Accessibility Permission",
            "User already had accessibility permissions for Kestrelgate application"),
        RECORDER.messages());
  }

  @Test
  void screenSharingSeesAProcessNamedScreensharingd() throws Exception {
    Path daemon = Path.of(System.getenv("OSXNATIVES_TEST_WORK"), "screensharingd");
    Files.copy(Path.of("/bin/sleep"), daemon, StandardCopyOption.COPY_ATTRIBUTES);
    // The C++ tests start a screensharingd of their own; take turns.
    try (FileChannel lockFile =
            FileChannel.open(
                Path.of("/tmp/osxnatives-screensharingd.lock"),
                StandardOpenOption.CREATE,
                StandardOpenOption.WRITE)) {
      FileLock lock = lockFile.lock();
      assertTrue(lock.isValid());
      assertEquals(0, OSXNativeProvider.checkScreenSharing());
      Process process = new ProcessBuilder(daemon.toString(), "600").start();
      try {
        awaitName(process.pid(), "screensharingd");
        assertEquals(1, OSXNativeProvider.checkScreenSharing());
      } finally {
        process.destroyForcibly();
        process.waitFor();
      }
      assertEquals(0, OSXNativeProvider.checkScreenSharing());
    }
    assertEquals(List.of(), RECORDER.messages());
  }

  /** Waits, up to ten seconds, until the kernel reports {@code name} for the process. */
  private static void awaitName(long pid, String name) throws IOException, InterruptedException {
    Path comm = Path.of("/proc", Long.toString(pid), "comm");
    long deadline = System.nanoTime() + TimeUnit.SECONDS.toNanos(10);
    while (!Files.readString(comm).strip().equals(name)) {
      if (System.nanoTime() > deadline) {
        fail("process " + pid + " never named " + name);
      }
      Thread.sleep(10);
    }
  }
}
