package com.qor.kestrelgate.osx.natives;

/**
 * A host process for tests that need a JVM of their own (own home folder, PATH and simulated
 * desktop): loads the library and runs the actions named on the command line, in order.
 *
 * <p>Actions: {@code lock} (startInputHandler), {@code unlock} (stopInputHandler), {@code count}
 * (prints "RESULT count N"), {@code name} (prints "RESULT name X" or "RESULT name null"), {@code
 * hang} (prints "HANGING" and waits until killed), {@code camera} (requestCameraPermission, then
 * waits for the answer, which arrives on a thread the library attached itself, and prints "RESULT
 * camera X"), {@code url}
 * (startAppDelegation, then waits for the first URL from the platform's main thread and prints
 * "RESULT url X").
 */
public final class NativeChild {
  private NativeChild() {}

  public static void main(String[] args) throws InterruptedException {
    OSXNativeProvider.load();
    for (String action : args) {
      switch (action) {
        case "lock" -> OSXNativeProvider.startInputHandler();
        case "unlock" -> OSXNativeProvider.stopInputHandler();
        case "count" -> say("RESULT count " + OSXNativeProvider.getDisplayCount());
        case "name" -> say("RESULT name " + OSXNativeProvider.getMainScreenName());
        case "camera" -> {
          Recorder recorder = new Recorder();
          OSXNativeProvider.setListener(recorder);
          OSXNativeProvider.requestCameraPermission();
          if (!recorder.await(calls -> calls.stream().anyMatch(
              c -> c.text() != null && c.text().startsWith("Camera ")), 30)) {
            throw new IllegalStateException("no camera answer");
          }
          say("RESULT camera " + recorder.calls().stream()
              .filter(c -> c.text() != null && c.text().startsWith("Camera "))
              .findFirst().orElseThrow().text());
        }
        case "url" -> {
          Recorder recorder = new Recorder();
          OSXNativeProvider.setListener(recorder);
          OSXNativeProvider.startAppDelegation();
          if (!recorder.await(calls -> calls.stream().anyMatch(c -> c.kind().equals("url")), 30)) {
            throw new IllegalStateException("no URL");
          }
          say("RESULT url " + recorder.calls().stream()
              .filter(c -> c.kind().equals("url")).findFirst().orElseThrow().text());
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

  private static void say(String line) {
    System.out.println(line);
    System.out.flush();
  }
}
