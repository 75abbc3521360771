package com.qor.kestrelgate.osx.natives.demo;

import com.qor.kestrelgate.osx.natives.AssessmentMode;

/**
 * Apple's assessment mode and the fallback to the library's own lockdown, both through the
 * README's recipe ({@link ExamLockdown}). The demo's scenario lets the first session begin and
 * makes the second fail to begin, as it does for an application without Apple's entitlement.
 *
 * <p>The fallback runs the input lockdown, so it needs the home folder and stand-ins that
 * scripts/demo.sh sets up (see {@link LockdownSection}).
 */
final class AssessmentSection {
  private static final String CONFIGURATION = "{\"allowsNetworkAccess\": true,"
      + " \"allowedApplications\": [{\"bundleIdentifier\": \"com.apple.calculator\"}],"
      + " \"allowsSpellCheck\": false}";

  private AssessmentSection() {}

  static void run(Transcript transcript) {
    transcript.section("Assessment mode: Apple's first, the library's lockdown as the fallback");
    transcript.fact("availability(): " + AssessmentMode.availability());
    transcript.fact("configuration: " + CONFIGURATION);
    String[] answer = new String[1];
    transcript.step("begin() with a misspelt key: refused, nothing starts",
        () -> answer[0] = AssessmentMode.begin("{\"allowsSpelCheck\": false}"));
    transcript.fact("answer: " + answer[0]);
    exam(transcript, "first exam: the session begins (an entitled application)");
    String home = System.getenv("HOME");
    if (home == null || !home.equals(System.getenv("OSXNATIVES_DEMO_HOME"))) {
      transcript.fact("second exam skipped: its fallback runs the input lockdown, which needs "
          + "scripts/demo.sh's home folder and stand-ins");
      return;
    }
    exam(transcript, "second exam: the session fails to begin, the library locks down instead");
  }

  private static void exam(Transcript transcript, String title) {
    ExamLockdown exam = new ExamLockdown();
    String[] mode = new String[1];
    transcript.step(title, () -> mode[0] = call(() -> exam.start(CONFIGURATION)));
    transcript.fact("the exam runs in mode: " + mode[0]);
    transcript.step("the exam ends: stop()", () -> mode[0] = call(exam::stop));
    transcript.fact("released: " + mode[0]);
    transcript.fact("availability() afterwards: " + AssessmentMode.availability());
  }

  private interface Action<T> {
    T run() throws Exception;
  }

  private static <T> T call(Action<T> action) {
    try {
      return action.run();
    } catch (Exception e) {
      throw new IllegalStateException(e);
    }
  }
}
