package com.qor.kestrelgate.osx.natives;

import java.util.List;
import java.util.Set;
import java.util.stream.Collectors;

/**
 * A child-JVM host for the input tests: loads the library, starts the event listener and the URL
 * hand-over, waits until the platform has sent the expected callbacks and prints what arrived.
 *
 * <p>Arguments: expectedCmdH [throw] [exit-early]; the listener runs in mode "op". The run
 * is over when "key down CMD + H" has arrived expectedCmdH times (scenarios end with Command+H).
 * "throw" makes every callback throw after recording it; "exit-early" calls System.exit(0) as soon
 * as the first callback from the platform has arrived. Otherwise main returns normally, so the
 * JVM must be able to shut down with the library's thread.
 *
 * <p>Output lines: "done=bool", "q=N", "h=N", "close=N", "platformThreads=N", "callerThread=bool".
 */
public final class EventProbe {
  private EventProbe() {}

  public static void main(String[] args) throws Exception {
    int expectedCmdH = Integer.parseInt(args[0]);
    List<String> flags = List.of(args).subList(1, args.length);
    Recorder recorder = new Recorder();
    OSXNativeProvider.setListener(
        flags.contains("throw") ? new ThrowingListener(recorder) : recorder);
    OSXNativeProvider.load();
    OSXNativeProvider.startAppDelegation();
    OSXNativeProvider.startEventListener("op", null, false);
    Thread caller = Thread.currentThread();
    if (flags.contains("exit-early")) {
      recorder.await(calls -> calls.stream().anyMatch(c -> c.thread() != caller), 60);
      System.exit(0);
    }
    boolean done =
        recorder.await(calls -> count(calls, "key down CMD + H") >= expectedCmdH, 120);
    List<Recorder.Call> calls = recorder.calls();
    Set<Thread> platform =
        calls.stream()
            .map(Recorder.Call::thread)
            .filter(t -> t != caller)
            .collect(Collectors.toSet());
    System.out.println("done=" + done);
    System.out.println("q=" + count(calls, "key down CMD + Q"));
    System.out.println("h=" + count(calls, "key down CMD + H"));
    System.out.println("close=" + calls.stream().filter(c -> c.kind().equals("close")).count());
    System.out.println("platformThreads=" + platform.size());
    System.out.println(
        "callerThread="
            + calls.stream()
                .anyMatch(c -> c.thread() == caller && c.text() != null
                    && c.text().startsWith("key down")));
  }

  private static long count(List<Recorder.Call> calls, String message) {
    return calls.stream().filter(c -> message.equals(c.text())).count();
  }

  /** Records every callback, then throws from it. */
  private static final class ThrowingListener implements OSXNativeProvider.Listener {
    private final Recorder recorder;

    ThrowingListener(Recorder recorder) {
      this.recorder = recorder;
    }

    @Override
    public void log(String message, String level) {
      recorder.log(message, level);
      if (message.startsWith("key down") || message.startsWith("Close")) {
        throw new IllegalStateException("listener failure on " + message);
      }
    }

    @Override
    public void navigateToUrl(String url) {
      recorder.navigateToUrl(url);
      throw new IllegalStateException("listener failure on a URL");
    }

    @Override
    public void closeRequest() {
      recorder.closeRequest();
      throw new IllegalStateException("listener failure on close");
    }
  }
}
