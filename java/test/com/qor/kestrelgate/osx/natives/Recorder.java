package com.qor.kestrelgate.osx.natives;

import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.function.Predicate;

/**
 * Records every callback the library makes, with the thread it came from, and then throws from it
 * when made {@code throwing}. Thread-safe.
 */
public final class Recorder implements OSXNativeProvider.Listener {
  /** One callback: kind is "log", "url" or "close". */
  public record Call(String kind, String text, String level, Thread thread) {}

  private final List<Call> calls = new ArrayList<>();
  private final boolean throwing;

  public Recorder(boolean throwing) {
    this.throwing = throwing;
  }

  @Override
  public void log(String message, String level) {
    add(new Call("log", message, level, Thread.currentThread()));
  }

  @Override
  public void navigateToUrl(String url) {
    add(new Call("url", url, null, Thread.currentThread()));
  }

  @Override
  public void closeRequest() {
    add(new Call("close", null, null, Thread.currentThread()));
  }

  private synchronized void add(Call call) {
    calls.add(call);
    notifyAll();
    if (throwing) {
      throw new IllegalStateException("listener failure on " + call);
    }
  }

  public synchronized List<Call> calls() {
    return new ArrayList<>(calls);
  }

  public synchronized void clear() {
    calls.clear();
  }

  public synchronized List<String> messages() {
    return calls.stream().filter(c -> c.kind().equals("log")).map(Call::text).toList();
  }

  /** Waits up to {@code seconds} for the calls to satisfy {@code done}; whether they do. */
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
