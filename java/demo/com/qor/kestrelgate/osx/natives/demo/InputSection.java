package com.qor.kestrelgate.osx.natives.demo;

import com.qor.kestrelgate.osx.natives.OSXNativeProvider;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;

/**
 * The input section of the demo: the simulated desktop's queued key presses (Command+Tab to the
 * companion application and back, a middle click, Command+Q, Command+H) and a URL the operating
 * system hands over, and what the library did with each. The events arrive on the desktop's own
 * thread once the listener and the URL handler are installed; each step waits for them.
 */
final class InputSection {
  private InputSection() {}

  static void run(Transcript transcript) {
    transcript.section("Input: Command+Q, Command+H, Command+Tab and a URL");
    Waiter waiter = new Waiter(transcript);
    OSXNativeProvider.setListener(waiter);
    try {
      transcript.step(
          "startEventListener(\"op\", null, false): the queued key presses arrive",
          () -> {
            OSXNativeProvider.startEventListener("op", null, false);
            waiter.await("log:key down CMD + H");
          });
      transcript.fact(
          "Command+Tab brought the companion forward and back; the middle click, Command+Q and"
              + " Command+H were swallowed; close requests sent: "
              + waiter.count("close:"));
      transcript.step(
          "startAppDelegation(): the operating system's get-URL event arrives",
          () -> {
            OSXNativeProvider.startAppDelegation();
            waiter.await("url:");
          });
      transcript.fact("URLs handed to the browser: " + waiter.matching("url:"));
      transcript.step("stopEventListener(): the monitors are removed",
          OSXNativeProvider::stopEventListener);
    } finally {
      OSXNativeProvider.setListener(transcript);
    }
  }

  /** Forwards every callback to the transcript and lets a step wait for one. */
  private static final class Waiter implements OSXNativeProvider.Listener {
    private final Transcript transcript;
    private final List<String> seen = new ArrayList<>();

    Waiter(Transcript transcript) {
      this.transcript = transcript;
    }

    @Override
    public void log(String message, String level) {
      transcript.log(message, level);
      add("log:" + message);
    }

    @Override
    public void navigateToUrl(String url) {
      transcript.navigateToUrl(url);
      add("url:" + url);
    }

    @Override
    public void closeRequest() {
      transcript.closeRequest();
      add("close:");
    }

    private synchronized void add(String call) {
      seen.add(call);
      notifyAll();
    }

    synchronized long count(String prefix) {
      return seen.stream().filter(s -> s.startsWith(prefix)).count();
    }

    synchronized List<String> matching(String prefix) {
      return seen.stream().filter(s -> s.startsWith(prefix)).map(s -> s.substring(prefix.length()))
          .toList();
    }

    /** Waits up to ten seconds for a callback starting with {@code prefix}. */
    synchronized void await(String prefix) {
      long deadline = System.nanoTime() + TimeUnit.SECONDS.toNanos(10);
      try {
        while (count(prefix) == 0) {
          long left = deadline - System.nanoTime();
          if (left <= 0) {
            transcript.fact("(nothing arrived for " + prefix + " within ten seconds)");
            return;
          }
          TimeUnit.NANOSECONDS.timedWait(this, left);
        }
      } catch (InterruptedException e) {
        Thread.currentThread().interrupt();
      }
    }
  }
}
