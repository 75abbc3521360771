package com.qor.kestrelgate.osx.natives.bench;

import com.qor.kestrelgate.osx.natives.OSXNativeProvider;
import java.io.IOException;
import java.io.InputStream;
import java.util.concurrent.atomic.AtomicLong;

/**
 * The Java side of the process benchmark, called by the native driver through JNI. Each method
 * runs its work {@code runs} times and returns the duration of every run in nanoseconds.
 */
public final class ProcessBench {
  private static long sink;

  private ProcessBench() {}

  public static void load() {
    OSXNativeProvider.load();
  }

  /** getAllProcesses through JNI, the whole document received as a Java string. */
  public static long[] jniListing(int runs) {
    long[] times = new long[runs];
    for (int i = 0; i < runs; i++) {
      long start = System.nanoTime();
      String document = OSXNativeProvider.getAllProcesses("");
      sink += document.length();
      times[i] = System.nanoTime() - start;
    }
    return times;
  }

  /** What a Java host would otherwise do: shell out to ps and read everything it prints. */
  public static long[] psListing(int runs) throws IOException, InterruptedException {
    long[] times = new long[runs];
    byte[] buffer = new byte[1 << 16];
    for (int i = 0; i < runs; i++) {
      long start = System.nanoTime();
      Process ps = new ProcessBuilder("ps", "-e", "-o", "pid,ppid,comm,args")
          .redirectErrorStream(true).start();
      try (InputStream in = ps.getInputStream()) {
        for (int n; (n = in.read(buffer)) > 0; ) {
          sink += n;
        }
      }
      ps.waitFor();
      times[i] = System.nanoTime() - start;
    }
    return times;
  }

  /** The JDK's own listing: every process with its command and its parent. */
  public static long[] processHandleListing(int runs) {
    long[] times = new long[runs];
    for (int i = 0; i < runs; i++) {
      AtomicLong seen = new AtomicLong();
      long start = System.nanoTime();
      ProcessHandle.allProcesses().forEach(handle -> {
        seen.addAndGet(handle.info().command().map(String::length).orElse(0));
        seen.addAndGet(handle.parent().map(ProcessHandle::pid).orElse(0L));
      });
      times[i] = System.nanoTime() - start;
      sink += seen.get();
    }
    return times;
  }

  /** pauseAllProcesses then resumeAllProcesses of one document, through JNI. */
  public static long[] jniPauseResume(String document, int runs) {
    long[] times = new long[runs];
    for (int i = 0; i < runs; i++) {
      long start = System.nanoTime();
      sink += OSXNativeProvider.pauseAllProcesses(document).length();
      OSXNativeProvider.resumeAllProcesses(document);
      times[i] = System.nanoTime() - start;
    }
    return times;
  }
}
