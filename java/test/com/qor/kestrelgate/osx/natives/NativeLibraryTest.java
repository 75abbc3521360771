package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.util.jar.JarFile;
import org.junit.jupiter.api.Test;

/** The version check between the jar and the library it loads. */
class NativeLibraryTest {
  @Test
  void loadsTheLibraryOfItsOwnVersion() throws Exception {
    OSXNativeProvider.load();
    // From the jar's own manifest: the tests' jar defines classes of the same package.
    String manifest;
    try (JarFile jar = new JarFile(new File(
        OSXNativeProvider.class.getProtectionDomain().getCodeSource().getLocation().toURI()))) {
      manifest = jar.getManifest().getMainAttributes().getValue("Implementation-Version");
    }
    assertNotNull(manifest, "the jar's manifest carries its version");
    assertEquals(manifest, NativeLibrary.jarVersion());
    assertEquals(manifest, NativeLibrary.libraryVersion());
  }

  @Test
  void namesBothVersionsWhenTheyDiffer() {
    record Case(String jar, String library, String[] named) {}
    Case[] cases = {
      new Case("0.2.0", "0.1.0", new String[] {"0.2.0", "0.1.0", "one release"}),
      new Case("0.1.0", "0.1.0-rc1", new String[] {"0.1.0-rc1", "does not match"}),
      new Case("1.0.0", null, new String[] {"1.0.0", "older", "one release"}),
    };
    for (Case c : cases) {
      String problem = NativeLibrary.mismatch(c.jar(), c.library());
      assertNotNull(problem, c.library());
      for (String expected : c.named()) {
        assertTrue(problem.contains(expected), problem + " should name " + expected);
      }
    }
    assertNull(NativeLibrary.mismatch("0.1.0", "0.1.0"));
  }
}
