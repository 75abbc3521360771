package com.qor.kestrelgate.osx.natives.demo;

import com.qor.kestrelgate.osx.natives.OSXNativeProvider;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;
import java.util.function.IntSupplier;
import java.util.function.Supplier;

/**
 * The environment report a proctor sees before an exam starts: displays, VPN, screen sharing, USB
 * mice and keyboards, a few Info.plist values, and the camera, microphone and accessibility
 * permissions.
 */
final class EnvironmentSection {
  private EnvironmentSection() {}

  static void run(Transcript transcript) {
    transcript.section("Environment report");
    count(transcript, "getDisplayCount(): displays attached", OSXNativeProvider::getDisplayCount);
    text(transcript, "getMainScreenName(): the main screen", OSXNativeProvider::getMainScreenName);
    count(transcript, "checkVpn(): a tunnel interface is up (1) or not (0)",
        OSXNativeProvider::checkVpn);
    count(transcript, "checkScreenSharing(): a screensharingd runs (1) or not (0)",
        OSXNativeProvider::checkScreenSharing);
    count(transcript, "getUsbMouseCount(): external USB mice", OSXNativeProvider::getUsbMouseCount);
    count(transcript, "getUsbKeyboardCount(): external USB keyboards",
        OSXNativeProvider::getUsbKeyboardCount);
    String[] keys = {
      "CFBundleName", "CFBundleShortVersionString", "LSMinimumSystemVersion", "KGMaxAttempts"
    };
    for (String key : keys) {
      text(transcript, "getInfoPlistProperty(\"" + key + "\")",
          () -> OSXNativeProvider.getInfoPlistProperty(key));
    }

    transcript.section("Permissions");
    answered(transcript, "requestMicrophonePermission(): already granted, nothing is asked",
        OSXNativeProvider::requestMicrophonePermission, false);
    answered(transcript, "requestCameraPermission(): the user is asked; the answer comes later",
        OSXNativeProvider::requestCameraPermission, true);
    transcript.step("requestAccessibilityPermission(): blocks, checking once a second",
        OSXNativeProvider::requestAccessibilityPermission);
  }

  private static void count(Transcript transcript, String title, IntSupplier call) {
    transcript.step(title, () -> {
      try {
        transcript.fact(Integer.toString(call.getAsInt()));
      } catch (UnsatisfiedLinkError e) {
        transcript.fact("not in this build of the library");
      }
    });
  }

  private static void text(
      Transcript transcript, String title, Supplier<String> call) {
    transcript.step(title, () -> {
      try {
        String value = call.get();
        transcript.fact(value == null ? "(null)" : "\"" + value + "\"");
      } catch (UnsatisfiedLinkError e) {
        transcript.fact("not in this build of the library");
      }
    });
  }

  /**
   * Runs a permission request and, when the platform is going to answer, waits for the answer,
   * which arrives on a thread of the platform's own.
   */
  private static void answered(
      Transcript transcript, String title, Runnable request, boolean expectAnswer) {
    CountDownLatch answer = new CountDownLatch(1);
    OSXNativeProvider.setListener(new OSXNativeProvider.Listener() {
      @Override
      public void log(String message, String level) {
        transcript.log(message, level);
        if (message.endsWith("authorized")) {
          answer.countDown();
        }
      }

      @Override
      public void navigateToUrl(String url) {
        transcript.navigateToUrl(url);
      }

      @Override
      public void closeRequest() {
        transcript.closeRequest();
      }
    });
    try {
      transcript.step(title, () -> {
        request.run();
        if (expectAnswer) {
          try {
            if (!answer.await(10, TimeUnit.SECONDS)) {
              transcript.fact("no answer within ten seconds");
            }
          } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
          }
        }
      });
    } finally {
      OSXNativeProvider.setListener(transcript);
    }
  }
}
