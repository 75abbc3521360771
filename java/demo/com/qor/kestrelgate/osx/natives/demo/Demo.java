package com.qor.kestrelgate.osx.natives.demo;

import com.qor.kestrelgate.osx.natives.OSXNativeProvider;

/**
 * The demo host: loads libOSXNatives, runs a short scripted exam session against the simulated
 * desktop and prints every log line and journal entry as a transcript.
 *
 * <p>Run it with OSXNATIVES_SIM_SCENARIO and OSXNATIVES_SIM_JOURNAL set (scripts/demo.sh does).
 */
public final class Demo {
  private Demo() {}

  public static void main(String[] args) {
    Transcript transcript = new Transcript(System.getenv("OSXNATIVES_SIM_JOURNAL"));
    OSXNativeProvider.setListener(transcript);

    transcript.section("Loading libOSXNatives");
    transcript.step("System.loadLibrary(\"OSXNatives\")", OSXNativeProvider::load);

    presentation(transcript);
    ProcessSection.run(transcript);
    LockdownSection.run(transcript);
    EnvironmentSection.run(transcript);
    InputSection.run(transcript);
    AssessmentSection.run(transcript);
    IntegritySection.run(transcript);

    transcript.section("Done");
    System.out.println("The simulated desktop is back to its default presentation.");
    // Platform threads that the library attached to the JVM (the permission answers come on one)
    // are not daemons, so the JVM would wait for them forever: leave as the browser does.
    System.exit(0);
  }

  private static void presentation(Transcript transcript) {
    transcript.section("Presentation: Dock, menu bar and clipboard");
    transcript.step("hideDockAndMenu(): the full exam lockdown", OSXNativeProvider::hideDockAndMenu);
    transcript.step("hideDock(): Dock and menu bar hidden only", OSXNativeProvider::hideDock);
    transcript.step("showDockAndMenu(): back to normal", OSXNativeProvider::showDockAndMenu);
  }
}
