package com.qor.kestrelgate.osx.natives;

import java.util.List;
import java.util.function.Predicate;

/**
 * A host process for {@link ChildHost}: loads the library and runs its arguments as actions, in
 * order (see the switch). Answers are printed as "RESULT action answer"; log lines go to standard
 * error until an action sets a listener. "hang" prints "HANGING" and waits to be killed.
 */
public final class NativeChild {
  private static Recorder recorder = new Recorder(false);

  private NativeChild() {}

  public static void main(String[] args) throws InterruptedException {
    OSXNativeProvider.load();
    Thread main = Thread.currentThread();
    for (String action : args) {
      switch (action.replaceAll("=.*", "")) {
        case "lock" -> OSXNativeProvider.startInputHandler();
        case "unlock" -> OSXNativeProvider.stopInputHandler();
        case "name" -> say("RESULT name " + OSXNativeProvider.getMainScreenName());
        case "camera" -> {
          OSXNativeProvider.setListener(recorder);
          OSXNativeProvider.requestCameraPermission();
          say("RESULT camera " + first(c -> c.text() != null && c.text().startsWith("Camera ")));
        }
        case "url" -> {
          OSXNativeProvider.setListener(recorder);
          OSXNativeProvider.startAppDelegation();
          say("RESULT url " + first(c -> c.kind().equals("url")));
        }
        case "throwing" -> recorder = new Recorder(true);
        case "events" -> {
          OSXNativeProvider.setListener(recorder);
          OSXNativeProvider.startAppDelegation();
          OSXNativeProvider.startEventListener("op", null, false);
        }
        case "exit-early" -> {
          first(c -> c.thread() != main);
          System.exit(0);
        }
        case "keys" -> {
          long expected = Long.parseLong(action.substring("keys=".length()));
          boolean done = recorder.await(calls -> count(calls, "key down CMD + H") >= expected, 120);
          List<Recorder.Call> calls = recorder.calls();
          say("RESULT keys done=" + done + " q=" + count(calls, "key down CMD + Q") + " h="
              + count(calls, "key down CMD + H") + " close="
              + calls.stream().filter(c -> c.kind().equals("close")).count() + " platformThreads="
              + calls.stream().map(Recorder.Call::thread).filter(t -> t != main).distinct().count()
              + " keysOnMain=" + calls.stream().anyMatch(c -> c.thread() == main
                  && c.text() != null && c.text().startsWith("key down")));
        }
        case "hang" -> {
          say("HANGING");
          Thread.currentThread().join();
        }
        default -> throw new IllegalArgumentException("unknown action " + action);
      }
    }
    say("DONE");
  }

  private static long count(List<Recorder.Call> calls, String message) {
    return calls.stream().filter(c -> message.equals(c.text())).count();
  }

  private static String first(Predicate<Recorder.Call> wanted) throws InterruptedException {
    if (!recorder.await(calls -> calls.stream().anyMatch(wanted), 30)) {
      throw new IllegalStateException("no answer in " + recorder.calls());
    }
    return recorder.calls().stream().filter(wanted).findFirst().orElseThrow().text();
  }

  private static void say(String line) {
    System.out.println(line);
    System.out.flush();
  }
}
