package com.qor.kestrelgate.osx.natives;

import java.util.Objects;

/**
 * What the machine shows that an exam should know of, as facts with their evidence: a virtual
 * machine, hidden or overlay windows of other applications, displays (mirrored ones included),
 * cameras (Continuity and virtual ones included), device bridges such as iPhone Mirroring; the
 * applications launched and terminated while an exam runs; and protection of this application's
 * own windows from capture by other processes.
 *
 * <p>The library decides nothing: each call reports what it read, and the browser's own policy
 * (warn, refuse to start, log for the proctor) acts on it. No call signals, ends or changes another
 * process or a system setting, and none throws: a failure is part of the answer. Load the library
 * first ({@link OSXNativeProvider#load()}); this class adds natives to the same library.
 */
public final class ExamIntegrity {
  /** Receives launches and terminations while the application watch runs. */
  public interface ApplicationListener {
    /**
     * Called once per launch or termination, on a thread of the platform (the main thread on
     * macOS, a watcher thread on Linux), never on the thread that started the watch. Keep it short:
     * the next event waits for it. An exception it throws is printed and that event is lost.
     */
    void applicationChanged(ApplicationEvent event);
  }

  /**
   * One application launched or terminated.
   *
   * @param launched true for a launch, false for a termination
   * @param pid the process id
   * @param bundleId the bundle identifier; null where there is none (every process on Linux)
   * @param name the application's name, or the command name; null where the platform did not say
   */
  public record ApplicationEvent(boolean launched, int pid, String bundleId, String name) {}

  /** What a start or stop of the application watch did. */
  public enum WatchOutcome {
    /** The watch runs now. */
    STARTED,
    /** A watch was already running; nothing changed. */
    ALREADY_RUNNING,
    /** The platform cannot watch; nothing runs. */
    UNAVAILABLE,
    /** The watch stopped. */
    STOPPED,
    /** No watch was running; nothing changed. */
    NOT_RUNNING
  }

  /**
   * The answer of {@link #startApplicationWatch} and {@link #stopApplicationWatch}.
   *
   * @param outcome what happened
   * @param detail the mechanism in use (for example "NSWorkspace notifications" or "kernel
   *     process-event connector"), or why nothing changed
   */
  public record WatchResult(WatchOutcome outcome, String detail) {}

  private static volatile ApplicationListener listener;

  private ExamIntegrity() {}

  /**
   * Reads the machine afresh and returns the integrity report, a JSON document. Every section has
   * {@code "status"}: {@code "known"}, or {@code "unknown"} with a {@code "reason"}; a single value
   * the platform cannot give is the text {@code "unknown"} with a {@code "<name>Reason"} member.
   * Sections: {@code "virtualMachine"} (verdict and evidence), {@code "windows"} (other
   * applications' on-screen windows that are hidden from capture or above normal windows, with
   * owner, layer, alpha, sharing state and bounds; never their contents), {@code "displays"},
   * {@code "cameras"}, {@code "deviceBridges"}. Blocks the calling thread for the reads, typically
   * a few milliseconds. Returns null only when the library failed outright (then it logged an
   * "ERROR" line through {@link OSXNativeProvider#log}).
   */
  public static String integrityReport() {
    return takeIntegrityReport();
  }

  /**
   * Starts calling {@code newListener} for every application launched or terminated from now on.
   * On macOS these are NSWorkspace's launch and termination notifications, delivered on the main
   * thread (which must run its loop, as AWT's does); on Linux every process, from the kernel's
   * process-event connector where this process may use it, else from a watch of /proc every 20
   * ms. While a watch runs, a second start changes nothing and answers {@link
   * WatchOutcome#ALREADY_RUNNING}; the first listener stays.
   */
  public static WatchResult startApplicationWatch(ApplicationListener newListener) {
    Objects.requireNonNull(newListener, "listener");
    synchronized (ExamIntegrity.class) {
      ApplicationListener previous = listener;
      listener = newListener;
      WatchResult result = parse(startWatch());
      if (result.outcome() != WatchOutcome.STARTED) {
        listener = previous;
      }
      return result;
    }
  }

  /**
   * Stops the application watch; no listener call starts after it returns, except when it is
   * called from the listener itself. Without a running watch it answers {@link
   * WatchOutcome#NOT_RUNNING}.
   */
  public static WatchResult stopApplicationWatch() {
    // Not under the class lock: the stop waits for a listener call in
    // progress, and that listener may itself start or stop the watch.
    return parse(stopWatch());
  }

  /**
   * Sets the sharing type of every window this application has now to none, so that screen
   * recordings and screenshots by other processes leave them out, and remembers what each had.
   * Windows created later are not covered: call again after opening one. Returns a JSON document:
   * {@code {"status":"known","windows":[{"windowNumber","previous","changed"}]}}, or {@code
   * "unknown"} with a reason when the application has no windows system (no NSApplication). See
   * the README for what this does not cover and how it meets a proctoring tool that records the
   * screen.
   */
  public static String protectWindowsFromCapture() {
    return protectWindows();
  }

  /**
   * Gives every window protected by {@link #protectWindowsFromCapture} the sharing type it had
   * before. Returns {@code {"status":"known","windows":[{"windowNumber","restored","present"}]}};
   * a window closed in between is reported with {@code "present":false}.
   */
  public static String restoreWindowCapture() {
    return restoreWindows();
  }

  /** Called by the library, on a platform thread, once per launch or termination. */
  private static void applicationEvent(boolean launched, int pid, String bundleId, String name) {
    ApplicationListener current = listener;
    if (current != null) {
      current.applicationChanged(new ApplicationEvent(launched, pid, bundleId, name));
    }
  }

  private static WatchResult parse(String answer) {
    if (answer == null) {
      return new WatchResult(WatchOutcome.UNAVAILABLE, "the library failed; see its log");
    }
    int colon = answer.indexOf(':');
    String outcome = colon < 0 ? answer : answer.substring(0, colon);
    String detail = colon < 0 ? "" : answer.substring(colon + 1);
    return new WatchResult(
        switch (outcome) {
          case "started" -> WatchOutcome.STARTED;
          case "alreadyRunning" -> WatchOutcome.ALREADY_RUNNING;
          case "stopped" -> WatchOutcome.STOPPED;
          case "notRunning" -> WatchOutcome.NOT_RUNNING;
          default -> WatchOutcome.UNAVAILABLE;
        },
        detail);
  }

  private static native String takeIntegrityReport();

  private static native String startWatch();

  private static native String stopWatch();

  private static native String protectWindows();

  private static native String restoreWindows();
}
