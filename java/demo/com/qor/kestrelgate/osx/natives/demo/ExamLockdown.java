package com.qor.kestrelgate.osx.natives.demo;

import com.qor.kestrelgate.osx.natives.AssessmentMode;
import com.qor.kestrelgate.osx.natives.OSXNativeProvider;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.TimeUnit;

/**
 * The README's recipe: Apple's assessment mode first, the library's own lockdown when it fails to
 * begin or is interrupted. Kept word for word as the README's "Assessment mode" section shows it.
 */
public final class ExamLockdown implements AssessmentMode.Listener {
  private final ExecutorService examThread = Executors.newSingleThreadExecutor();
  private final CountDownLatch decided = new CountDownLatch(1);
  private final CountDownLatch ended = new CountDownLatch(1);
  private volatile String mode = "none";

  /** Locks the Mac for the exam; returns "assessment" or "lockdown", whichever holds. */
  public String start(String configuration) throws Exception {
    AssessmentMode.setListener(this);
    if (!AssessmentMode.accepted(AssessmentMode.begin(configuration))) {
      examThread.submit(this::lockDown).get(); // no framework, a bad configuration, ...
    }
    if (!decided.await(30, TimeUnit.SECONDS)) {
      AssessmentMode.end(); // no answer from macOS: do not wait for it
      examThread.submit(this::lockDown).get();
    }
    return mode;
  }

  /** Events come on the main thread: hand them to the exam's own thread at once. */
  @Override
  public void onEvent(AssessmentMode.Event event) {
    examThread.execute(() -> {
      switch (event.type()) {
        case DID_BEGIN -> {
          mode = "assessment";
          decided.countDown();
        }
        case FAILED_TO_BEGIN -> lockDown();
        case WAS_INTERRUPTED -> {
          AssessmentMode.end();
          lockDown();
        }
        case DID_END -> ended.countDown();
        default -> { }
      }
    });
  }

  /** The library's own lockdown, on the exam's thread. */
  private void lockDown() {
    if (!mode.equals("lockdown")) {
      OSXNativeProvider.hideDockAndMenu();
      OSXNativeProvider.startEventListener("op", null, false);
      OSXNativeProvider.startInputHandler();
      mode = "lockdown";
    }
    decided.countDown();
  }

  /** Ends the exam: releases the mode that holds (returned) and waits until macOS leaves its own. */
  public String stop() throws Exception {
    String released = examThread.submit(() -> {
      String held = mode;
      if (mode.equals("lockdown")) {
        OSXNativeProvider.stopInputHandler();
        OSXNativeProvider.stopEventListener();
        OSXNativeProvider.showDockAndMenu();
      } else if (held.equals("assessment")) {
        AssessmentMode.end();
      }
      mode = "none";
      return held;
    }).get();
    if (released.equals("assessment")) {
      ended.await(30, TimeUnit.SECONDS);
    }
    examThread.shutdown();
    return released;
  }
}
