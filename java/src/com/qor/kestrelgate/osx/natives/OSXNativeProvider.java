package com.qor.kestrelgate.osx.natives;

/**
 * Reference host class of libOSXNatives: the 24 native methods the library implements and the
 * three static callbacks it calls back into.
 *
 * <p>The callbacks go to the listener set with {@link #setListener}; while there is none they print
 * to standard error as {@code [LEVEL] message}. They may be called from any thread, including
 * threads the library attached itself.
 */
public final class OSXNativeProvider {
  /** Receives what the library sends back to Java. Called on the library's threads. */
  public interface Listener {
    void log(String message, String level);

    void navigateToUrl(String url);

    void closeRequest();
  }

  private static volatile Listener listener;

  private OSXNativeProvider() {}

  /**
   * Loads libOSXNatives from java.library.path. Throws UnsatisfiedLinkError when it is not found, or
   * when its version is not this jar's ({@link NativeLibrary}).
   */
  public static void load() {
    System.loadLibrary("OSXNatives");
    NativeLibrary.check();
  }

  /** Sets the listener that takes every callback instead of standard error; null removes it. */
  public static void setListener(Listener newListener) {
    listener = newListener;
  }

  public static void log(String message, String level) {
    Listener current = listener;
    if (current == null) {
      System.err.println("[" + level + "] " + message);
    } else {
      current.log(message, level);
    }
  }

  public static void navigateToUrl(String url) {
    Listener current = listener;
    if (current == null) {
      System.err.println("[URL] " + url);
    } else {
      current.navigateToUrl(url);
    }
  }

  public static void closeRequest() {
    Listener current = listener;
    if (current == null) {
      System.err.println("[CLOSE] close request");
    } else {
      current.closeRequest();
    }
  }

  public static native String getInfoPlistProperty(String key);

  public static native void requestMicrophonePermission();

  public static native void requestAccessibilityPermission();

  public static native void requestCameraPermission();

  public static native void hideDockAndMenu();

  public static native void hideDock();

  public static native void showDockAndMenu();

  public static native void startEventListener(
      String deliveryMode, String client, boolean isSystemTest);

  public static native void stopEventListener();

  public static native void startInputHandler();

  public static native void startAppDelegation();

  public static native void stopInputHandler();

  public static native String getAllProcesses(String pausePhase);

  public static native String pauseAllProcesses(String processList);

  public static native String killAllProcesses(String processList);

  public static native void resumeAllProcesses(String processList);

  public static native int getDisplayCount();

  public static native String getMainScreenName();

  public static native String getProcessPath(String pid);

  public static native int checkVpn();

  public static native int getCurrentProcessId();

  public static native int getUsbMouseCount();

  public static native int getUsbKeyboardCount();

  public static native int checkScreenSharing();
}
