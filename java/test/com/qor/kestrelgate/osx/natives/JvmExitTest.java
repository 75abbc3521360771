package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;

/** A host whose main returns exits, even after the library called back from its own threads. */
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
}
