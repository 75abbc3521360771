package com.qor.kestrelgate.osx.natives.testkit;

import com.qor.kestrelgate.osx.natives.AssessmentMode;
import com.qor.kestrelgate.osx.natives.ExamIntegrity;
import com.qor.kestrelgate.osx.natives.OSXNativeProvider;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;

/** Reaches every simulated service once, so that each reads its scenario keys. */
public final class EveryServiceChild {
  private EveryServiceChild() {}

  /**
   * Prints what the services answer, one "name value" line each.
   *
   * @param args unused
   * @throws InterruptedException when interrupted while waiting
   */
  public static void main(String[] args) throws InterruptedException {
    CountDownLatch answered = new CountDownLatch(3);
    OSXNativeProvider.setListener(new OSXNativeProvider.Listener() {
      @Override
      public void log(String message, String level) {
        if (message.startsWith("Camera ")) {
          System.out.println("camera " + message);
          answered.countDown();
        }
      }

      @Override
      public void navigateToUrl(String url) {
        answered.countDown();
      }

      @Override
      public void closeRequest() {
        answered.countDown();
      }
    });
    OSXNativeProvider.load();
    System.out.println("displays " + OSXNativeProvider.getDisplayCount());
    System.out.println("mainScreen " + OSXNativeProvider.getMainScreenName());
    System.out.println("vpn " + OSXNativeProvider.checkVpn());
    System.out.println("mice " + OSXNativeProvider.getUsbMouseCount());
    System.out.println("bundle " + OSXNativeProvider.getInfoPlistProperty("CFBundleName"));
    System.out.println("processes " + OSXNativeProvider.getAllProcesses("PERIODIC"));
    System.out.println("integrity " + ExamIntegrity.integrityReport());
    System.out.println("protect " + ExamIntegrity.protectWindowsFromCapture());
    System.out.println("assessment " + AssessmentMode.availability());
    OSXNativeProvider.requestAccessibilityPermission();
    OSXNativeProvider.requestCameraPermission();
    OSXNativeProvider.hideDockAndMenu();
    OSXNativeProvider.startInputHandler();
    OSXNativeProvider.startEventListener("op", "", false);
    OSXNativeProvider.startAppDelegation();
    boolean done = answered.await(1, TimeUnit.MINUTES);
    OSXNativeProvider.stopEventListener();
    OSXNativeProvider.stopInputHandler();
    System.exit(done ? 0 : 3);
  }
}
