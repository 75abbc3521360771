package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;

/**
 * Callbacks from the threads the library attached itself: they reach the host class wherever it
 * was loaded from, and a host whose main returns exits after them.
 */
class JvmExitTest {
  @Test
  void hostExitsAfterACallbackFromAPlatformThread() throws Exception {
    ChildHost host = new ChildHost("camera-exit");
    host.scenario("{\"permissions\": {\"camera\": 0, \"cameraRequestGranted\": true}}");
    ChildHost.Child child = host.start("camera");
    assertTrue(child.readUntil("DONE"), "the camera answer never arrived");
    boolean exited = child.process.waitFor(60, TimeUnit.SECONDS);
    if (!exited) {
      child.process.destroyForcibly();
    }
    assertTrue(exited, "the JVM did not exit after main returned");
    assertEquals(0, child.process.exitValue());
  }

  @Test
  void callbacksFromAttachedThreadsReachAHostClassThatOnlyItsOwnLoaderSees() throws Exception {
    ChildHost host = new ChildHost("own-loader");
    host.scenario("{\"permissions\": {\"camera\": 0, \"cameraRequestGranted\": true},"
        + " \"appleEvents\": [{\"eventClass\": \"GURL\", \"eventID\": \"GURL\","
        + " \"url\": \"kestrelgate://exam/42\"}]}");
    // The camera answer comes from a permission thread, the URL from the main thread.
    ChildHost.Child child = host.runInOwnLoader("camera", "url");
    assertEquals(
        List.of("RESULT camera Camera authorized", "RESULT url kestrelgate://exam/42"),
        child.results());
  }
}
