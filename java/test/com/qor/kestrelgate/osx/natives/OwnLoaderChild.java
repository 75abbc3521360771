package com.qor.kestrelgate.osx.natives;

import java.io.File;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Path;
import java.util.Arrays;

/**
 * Runs {@link NativeChild} as an application launcher or plugin loader would: NativeChild and the
 * host class come from a class loader of their own, which the JVM's class path does not reach.
 *
 * <p>Arguments: that loader's class path (entries separated by the path separator), then
 * NativeChild's actions.
 */
public final class OwnLoaderChild {
  private OwnLoaderChild() {}

  public static void main(String[] args) throws Exception {
    URL[] urls = Arrays.stream(args[0].split(File.pathSeparator))
        .map(entry -> {
          try {
            return Path.of(entry).toUri().toURL();
          } catch (java.net.MalformedURLException e) {
            throw new IllegalArgumentException(entry, e);
          }
        })
        .toArray(URL[]::new);
    // Kept open: the library's threads may still load classes through it until the JVM ends.
    URLClassLoader loader =
        new URLClassLoader("exam-host", urls, ClassLoader.getPlatformClassLoader());
    Class<?> child = Class.forName("com.qor.kestrelgate.osx.natives.NativeChild", true, loader);
    if (child.getClassLoader() != loader) {
      throw new IllegalStateException("NativeChild is on the JVM's class path");
    }
    child.getMethod("main", String[].class)
        .invoke(null, (Object) Arrays.copyOfRange(args, 1, args.length));
  }
}
