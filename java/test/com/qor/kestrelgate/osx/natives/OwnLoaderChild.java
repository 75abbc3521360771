package com.qor.kestrelgate.osx.natives;

import java.io.File;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Path;
import java.util.Arrays;

/**
 * Runs {@link NativeChild} (arguments: its class path, then its actions) as a plugin loader would:
 * from a class loader of its own, which the JVM's class path does not reach.
 */
public final class OwnLoaderChild {
  private OwnLoaderChild() {}

  public static void main(String[] args) throws Exception {
    URL[] urls = new URL[args[0].split(File.pathSeparator).length];
    for (int i = 0; i < urls.length; i++) {
      urls[i] = Path.of(args[0].split(File.pathSeparator)[i]).toUri().toURL();
    }
    // Kept open: the library's threads may still load classes through it until the JVM ends.
    URLClassLoader loader =
        new URLClassLoader("exam-host", urls, ClassLoader.getPlatformClassLoader());
    Class.forName("com.qor.kestrelgate.osx.natives.NativeChild", true, loader)
        .getMethod("main", String[].class)
        .invoke(null, (Object) Arrays.copyOfRange(args, 1, args.length));
  }
}
