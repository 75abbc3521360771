package com.qor.kestrelgate.osx.natives.demo;

import com.qor.kestrelgate.osx.natives.ExamIntegrity;
import java.util.concurrent.BlockingQueue;
import java.util.concurrent.LinkedBlockingQueue;
import java.util.concurrent.TimeUnit;

/**
 * The exam-integrity report a browser takes before the exam, an application launched while it
 * runs, and the exam window kept out of other applications' screen captures.
 */
final class IntegritySection {
  private IntegritySection() {}

  static void run(Transcript transcript) {
    transcript.section("Exam integrity (ExamIntegrity)");
    transcript.step("integrityReport(): virtual machine, hidden windows, displays, cameras, bridges",
        () -> {
          String report = ExamIntegrity.integrityReport();
          // One section per line, so that a reader finds each finding.
          for (String name :
              new String[] {"virtualMachine", "windows", "displays", "cameras", "deviceBridges"}) {
            transcript.fact(name + ": " + section(report, name));
          }
        });
    transcript.step("startApplicationWatch(): an application launched mid-exam arrives", () -> {
      BlockingQueue<ExamIntegrity.ApplicationEvent> events = new LinkedBlockingQueue<>();
      transcript.fact(ExamIntegrity.startApplicationWatch(events::add).toString());
      try {
        ExamIntegrity.ApplicationEvent event = events.poll(10, TimeUnit.SECONDS);
        transcript.fact(event == null ? "no launch within 10 s" : event.toString());
      } catch (InterruptedException e) {
        Thread.currentThread().interrupt();
      }
      transcript.fact(ExamIntegrity.stopApplicationWatch().toString());
    });
    transcript.step("protectWindowsFromCapture(): the exam window leaves screen captures",
        () -> transcript.fact(ExamIntegrity.protectWindowsFromCapture()));
    transcript.step("restoreWindowCapture(): and comes back",
        () -> transcript.fact(ExamIntegrity.restoreWindowCapture()));
  }

  /** The JSON value of the top-level member {@code name} (the report is one line). */
  private static String section(String report, String name) {
    int start = report.indexOf("\"" + name + "\":");
    if (start < 0) {
      return "(missing)";
    }
    int from = start + name.length() + 3;
    int depth = 0;
    for (int i = from; i < report.length(); i++) {
      char c = report.charAt(i);
      if (c == '{' || c == '[') {
        depth++;
      } else if (c == '}' || c == ']') {
        depth--;
        if (depth == 0) {
          return report.substring(from, i + 1);
        }
      }
    }
    return report.substring(from);
  }
}
