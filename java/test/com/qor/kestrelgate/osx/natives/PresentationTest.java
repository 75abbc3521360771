package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.List;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/** Loads the real library into this JVM and drives the presentation natives. */
class PresentationTest {
  private static final Recorder RECORDER = new Recorder();
  private static List<Recorder.Call> callsDuringLoad;
  private final Journal journal = new Journal();

  @BeforeAll
  static void load() {
    OSXNativeProvider.setListener(RECORDER);
    OSXNativeProvider.load();
    callsDuringLoad = RECORDER.calls();
  }

  @BeforeEach
  void reset() throws Exception {
    RECORDER.clear();
    journal.skip();
  }

  @Test
  void loadingSendsExactlyTheEnvSetLine() {
    assertEquals(1, callsDuringLoad.size(), callsDuringLoad.toString());
    Recorder.Call first = callsDuringLoad.get(0);
    assertEquals("log", first.kind());
    assertEquals("JNI Env set!", first.text());
    assertEquals("INFO", first.level());
  }

  static Stream<Arguments> modes() {
    return Stream.of(
        Arguments.of("hideDockAndMenu", (Runnable) OSXNativeProvider::hideDockAndMenu,
            "Hide dock", 442),
        Arguments.of("hideDock", (Runnable) OSXNativeProvider::hideDock, "Hide dock", 26),
        Arguments.of("showDockAndMenu", (Runnable) OSXNativeProvider::showDockAndMenu,
            "Show dock", 0));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("modes")
  void presentationChangeLogsOnceAndLocksTheClipboard(
      String name, Runnable change, String logLine, int options) throws Exception {
    change.run();

    List<Recorder.Call> calls = RECORDER.calls();
    assertEquals(1, calls.size(), calls.toString());
    assertEquals(logLine, calls.get(0).text());
    assertEquals("INFO", calls.get(0).level());
    assertEquals(Thread.currentThread(), calls.get(0).thread());
    assertEquals(
        List.of(
            Journal.entry("NSApplication", "setPresentationOptions:",
                "{\"options\":" + options + "}"),
            Journal.entry("NSUserDefaults", "setInteger:forKey:",
                "{\"domain\":\"com.apple.coreservices.useractivityd\","
                    + "\"key\":\"ClipboardSharingEnabled\",\"value\":0}"),
            Journal.entry("NSPasteboard", "clearContents", "{}")),
        journal.since());
  }

  @Test
  void aThrowingListenerDoesNotBreakTheLibrary() throws Exception {
    OSXNativeProvider.setListener(
        new OSXNativeProvider.Listener() {
          @Override
          public void log(String message, String level) {
            throw new IllegalStateException("listener failure");
          }

          @Override
          public void navigateToUrl(String url) {}

          @Override
          public void closeRequest() {}
        });
    try {
      OSXNativeProvider.hideDock();
    } finally {
      OSXNativeProvider.setListener(RECORDER);
    }
    assertEquals(3, journal.since().size());
    OSXNativeProvider.showDockAndMenu();
    assertEquals(List.of("Show dock"), RECORDER.messages());
  }
}
