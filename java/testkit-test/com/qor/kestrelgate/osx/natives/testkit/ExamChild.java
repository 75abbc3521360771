package com.qor.kestrelgate.osx.natives.testkit;

import com.qor.kestrelgate.osx.natives.OSXNativeProvider;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;

/** A browser's exam start and end, as {@link SimulatedDesktopTest} runs it in a child JVM. */
public final class ExamChild {
  private ExamChild() {}

  /**
   * Locks the desktop, waits for the queued Command+Q and URL to arrive, and unlocks.
   *
   * @param args unused
   * @throws InterruptedException when interrupted while waiting
   */
  public static void main(String[] args) throws InterruptedException {
    CountDownLatch closed = new CountDownLatch(1);
    CountDownLatch navigated = new CountDownLatch(1);
    OSXNativeProvider.setListener(new OSXNativeProvider.Listener() {
      @Override
      public void log(String message, String level) {}

      @Override
      public void navigateToUrl(String url) {
        System.out.println("url " + url);
        navigated.countDown();
      }

      @Override
      public void closeRequest() {
        System.out.println("close requested");
        closed.countDown();
      }
    });
    OSXNativeProvider.load();
    System.out.println("displays " + OSXNativeProvider.getDisplayCount());
    System.out.println("vpn " + OSXNativeProvider.checkVpn());
    System.out.println("server " + OSXNativeProvider.getInfoPlistProperty("KGExamServer"));
    OSXNativeProvider.hideDockAndMenu();
    OSXNativeProvider.startInputHandler();
    OSXNativeProvider.startEventListener("op", "", false);
    OSXNativeProvider.startAppDelegation();
    boolean delivered = closed.await(1, TimeUnit.MINUTES) && navigated.await(1, TimeUnit.MINUTES);
    OSXNativeProvider.stopEventListener();
    OSXNativeProvider.stopInputHandler();
    System.exit(delivered ? 0 : 3);
  }
}
