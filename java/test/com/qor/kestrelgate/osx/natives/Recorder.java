package com.qor.kestrelgate.osx.natives;

import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.function.Predicate;

/** Records every callback the library makes, with the thread it came from. Thread-safe. */
public final class Recorder implements OSXNativeProvider.Listener {
  /** One callback: kind is "log", "url" or "close". */
  public record Call(String kind, String text, String level, Thread thread) {}

  private final List<Call> calls = new ArrayList<>();

  @Override
  public synchronized void log(String message, String level) {
    add(new Call("log", message, level, Thread.currentThread()));
  }

  @Override
  public synchronized void navigateToUrl(String url) {
    add(new Call("url", url, null, Thread.currentThread()));
  }

  @Override
  public synchronized void closeRequest() {
    add(new Call("close", null, null, Thread.currentThread()));
  }

  private void add(Call call) {
    calls.add(call);
    notifyAll();
  }

  public synchronized List<Call> calls() {
    return new ArrayList<>(calls);
  }

  public synchronized void clear() {
    calls.clear();
  }

  /** The log messages received so far, in order. */
  public synchronized List<String> messages() {
    return calls.stream().filter(c -> c.kind().equals("log")).map(Call::text).toList();
  }

  /**
   * Waits until the recorded calls satisfy {@code done}, up to {@code seconds}. Returns whether
   * they do.
   */
  public synchronized boolean await(Predicate<List<Call>> done, long seconds)
      throws InterruptedException {
    long deadline = System.nanoTime() + TimeUnit.SECONDS.toNanos(seconds);
    while (!done.test(calls)) {
      long left = deadline - System.nanoTime();
      if (left <= 0) {
        return false;
      }
      TimeUnit.NANOSECONDS.timedWait(this, left);
    }
    return true;
  }
}
