package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import org.junit.jupiter.api.Test;

/**
 * Callbacks from the threads the library attached itself, in host JVMs ({@link ChildHost}): they
 * reach the host class wherever it was loaded from, and the JVM exits while or after they arrive.
 */
class JvmExitTest {
  private static final String CAMERA =
      "\"permissions\": {\"camera\": 0, \"cameraRequestGranted\": true}";
  private static final String CMD_Q = "{\"type\":\"keyDown\",\"keyCode\":12,\"modifierFlags\":1048576}";
  private static final String CMD_H = "{\"type\":\"keyDown\",\"keyCode\":4,\"modifierFlags\":1048576}";

  private final ChildHost host;

  JvmExitTest() throws Exception {
    host = new ChildHost("jvm-exit-" + System.nanoTime());
  }

  /** Runs {@link NativeChild} with {@code actions} on {@code scenario}; what it printed. */
  private List<String> run(String scenario, String... actions) throws Exception {
    host.scenario(scenario);
    return ChildHost.expect(0, host.start(actions)).results();
  }

  private List<String> delivered(String service) throws Exception {
    return host.journalLines().stream()
        .filter(l -> l.contains("\"service\":\"" + service + "\",\"call\":\"deliver\"")).toList();
  }

  @Test
  void callbacksFromAttachedThreadsReachAHostClassThatOnlyItsOwnLoaderSees() throws Exception {
    host.scenario("{" + CAMERA + ", \"appleEvents\": [{\"eventClass\": \"GURL\","
        + " \"eventID\": \"GURL\", \"url\": \"kestrelgate://exam/42\"}]}");
    // The camera answer comes from a permission thread, the URL from the main thread.
    assertEquals(List.of("RESULT camera Camera authorized", "RESULT url kestrelgate://exam/42"),
        ChildHost.expect(0, host.startInOwnLoader("camera", "url")).results());
  }

  @Test
  void fiveThousandQueuedEventsAllArriveAndTheJvmShutsDown() throws Exception {
    List<String> events = new ArrayList<>();
    for (int i = 0; i < 1250; i++) {
      events.addAll(List.of(CMD_Q, "{\"type\":\"keyDown\",\"keyCode\":0}",
          "{\"type\":\"otherMouseDown\"}", CMD_H));
    }
    assertEquals(List.of("RESULT keys done=true q=1250 h=1250 close=1250 platformThreads=1"
        + " keysOnMain=false"), run("{\"inputEvents\":[" + String.join(",", events) + "]}",
        "events", "keys=1250"));
    assertEquals(5000, delivered("NSEvent").size());
  }

  @Test
  void throwingCallbacksDoNotStopThePlatformThread() throws Exception {
    String url = "{\"eventClass\":\"GURL\",\"eventID\":\"GURL\",\"url\":\"kestrelgate://a\"}";
    // The platform's thread ends whenever its queues run dry: one or two of them.
    String keys = run("{\"inputEvents\":[" + String.join(",", CMD_Q, CMD_Q, CMD_Q, CMD_H)
        + "],\"appleEvents\":[" + url + "," + url + "]}", "throwing", "events", "keys=1").get(0);
    assertTrue(keys.startsWith("RESULT keys done=true q=3 h=1 close=3 "), keys);
    assertEquals(List.of(4, 2), List.of(delivered("NSEvent").size(),
        delivered("NSAppleEventManager").size()));
  }

  @Test
  void exitingWhileThePlatformThreadDeliversIsClean() throws Exception {
    run("{\"inputEvents\":[" + String.join(",", Collections.nCopies(5000, CMD_Q)) + "]}",
        "events", "exit-early");
  }
}
