package com.qor.kestrelgate.osx.natives.bench;

import com.qor.kestrelgate.osx.natives.ExamIntegrity;
import com.qor.kestrelgate.osx.natives.OSXNativeProvider;
import java.io.IOException;
import java.io.InputStream;
import java.util.Map;
import java.util.concurrent.ConcurrentHashMap;
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

  /** The integrity report through JNI, the whole document received as a Java string. */
  public static long[] jniIntegrityReport(int runs) {
    long[] times = new long[runs];
    for (int i = 0; i < runs; i++) {
      long start = System.nanoTime();
      sink += ExamIntegrity.integrityReport().length();
      times[i] = System.nanoTime() - start;
    }
    return times;
  }

  /**
   * For each of {@code runs} children ({@code true}, which exits at once): the time from just
   * before ProcessBuilder.start() to the watch's launch callback for its pid, in Java. The spawn
   * itself is inside the figure, so it is an upper bound of the watch's own delay.
   */
  public static long[] launchLatency(int runs) throws IOException, InterruptedException {
    Map<Long, Long> seen = new ConcurrentHashMap<>();
    Object arrived = new Object();
    ExamIntegrity.WatchResult started = ExamIntegrity.startApplicationWatch(event -> {
      if (event.launched()) {
        seen.putIfAbsent((long) event.pid(), System.nanoTime());
        synchronized (arrived) {
          arrived.notifyAll();
        }
      }
    });
    if (started.outcome() != ExamIntegrity.WatchOutcome.STARTED) {
      throw new IllegalStateException("no watch: " + started);
    }
    System.out.println("  launch watch: " + started.detail());
    long[] times = new long[runs];
    try {
      for (int i = 0; i < runs; i++) {
        long start = System.nanoTime();
        Process child = new ProcessBuilder("true").start();
        synchronized (arrived) {
          while (!seen.containsKey(child.pid())) {
            arrived.wait(10_000);
          }
        }
        times[i] = seen.get(child.pid()) - start;
        child.waitFor();
      }
    } finally {
      ExamIntegrity.stopApplicationWatch();
    }
    return times;
  }
}
