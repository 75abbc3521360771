package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import java.util.concurrent.BlockingQueue;
import java.util.concurrent.LinkedBlockingQueue;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * The application watch on the real Linux machine (no scenario): launches and terminations of
 * real children of this JVM reach the listener.
 */
class ApplicationWatchTest {
  @BeforeAll
  static void load() {
    OSXNativeProvider.setListener(new Recorder(false));
    OSXNativeProvider.load();
  }

  /** Takes events until one for {@code pid} of the given kind arrives; null after 10 s. */
  private static ExamIntegrity.ApplicationEvent await(
      BlockingQueue<ExamIntegrity.ApplicationEvent> events, long pid, boolean launched)
      throws InterruptedException {
    long deadline = System.nanoTime() + TimeUnit.SECONDS.toNanos(10);
    while (System.nanoTime() < deadline) {
      ExamIntegrity.ApplicationEvent event =
          events.poll(deadline - System.nanoTime(), TimeUnit.NANOSECONDS);
      if (event != null && event.pid() == pid && event.launched() == launched) {
        return event;
      }
    }
    return null;
  }

  @Test
  void aHostWithoutTheClassLoadsAndRunsAsBefore() throws Exception {
    ChildHost host = new ChildHost("host-class-only-" + System.nanoTime());
    ChildHost.Child child = ChildHost.expect(0, host.startWithHostClassOnly("name"));
    assertEquals(List.of("RESULT name Simulated Display"), child.results(), child.output());
    assertTrue(child.output().contains("JNI Env set!"), child.output());
  }

  @Test
  void realChildrenAreSeenStartingAndEnding() throws Exception {
    BlockingQueue<ExamIntegrity.ApplicationEvent> events = new LinkedBlockingQueue<>();
    ExamIntegrity.WatchResult started = ExamIntegrity.startApplicationWatch(events::add);
    assertEquals(ExamIntegrity.WatchOutcome.STARTED, started.outcome(), started.toString());
    try {
      for (int i = 0; i < 3; i++) {
        // The child reads until its standard input closes, so it lives until we let it go.
        Process child = new ProcessBuilder("cat").start();
        ExamIntegrity.ApplicationEvent launch = await(events, child.pid(), true);
        assertNotNull(launch, "no launch of " + child.pid() + " via " + started.detail());
        assertEquals(null, launch.bundleId());
        child.getOutputStream().close();
        assertEquals(0, child.waitFor());
        assertNotNull(await(events, child.pid(), false), "no termination of " + child.pid());
      }
    } finally {
      assertEquals(ExamIntegrity.WatchOutcome.STOPPED,
          ExamIntegrity.stopApplicationWatch().outcome());
    }
    assertTrue(ExamIntegrity.integrityReport().contains("\"virtualMachine\""));
  }
}
