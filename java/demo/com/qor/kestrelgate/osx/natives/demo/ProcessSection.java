package com.qor.kestrelgate.osx.natives.demo;

import com.qor.kestrelgate.osx.natives.OSXNativeProvider;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * The process section of the demo: lists the machine's processes, then pauses, resumes and ends a
 * child that the demo starts itself. No other process is ever signalled.
 */
public final class ProcessSection {
  /** One process object of a document (process objects hold no nested objects). */
  private static final Pattern OBJECT = Pattern.compile("\\{[^{}]*\\}");

  private ProcessSection() {}

  public static void run(Transcript transcript) {
    transcript.section("Processes: list, pause, resume, kill");
    transcript.fact("this JVM is process " + OSXNativeProvider.getCurrentProcessId());

    String[] listing = new String[1];
    transcript.step("getAllProcesses(\"\")", () -> listing[0] = OSXNativeProvider.getAllProcesses(""));
    List<String> entries = objects(listing[0]);
    transcript.fact(entries.size() + " processes listed (the host application is left out)");
    for (String entry : entries.subList(0, Math.min(3, entries.size()))) {
      transcript.fact(entry.replaceAll("\\s+", " "));
    }

    Process child;
    try {
      child = new ProcessBuilder("sleep", "300").start();
    } catch (IOException e) {
      transcript.fact("could not start a child: " + e.getMessage());
      return;
    }
    try {
      String pid = Long.toString(child.pid());
      transcript.fact("started child " + pid + ": sleep 300");
      String path = OSXNativeProvider.getProcessPath(pid);
      transcript.fact("getProcessPath(\"" + pid + "\") = " + path);
      String document = "{\"processes\": [{\"pid\": \"" + pid + "\", \"processName\": \"sleep\"}]}";

      String[] failed = new String[1];
      transcript.step("pauseAllProcesses(child)",
          () -> failed[0] = OSXNativeProvider.pauseAllProcesses(document));
      transcript.fact("not paused: " + (failed[0].isEmpty() ? "none" : failed[0]));
      transcript.fact("child state in /proc: " + awaitState(child.pid(), true));

      transcript.step("resumeAllProcesses(child)",
          () -> OSXNativeProvider.resumeAllProcesses(document));
      transcript.fact("child state in /proc: " + awaitState(child.pid(), false));

      transcript.step("killAllProcesses(child)",
          () -> failed[0] = OSXNativeProvider.killAllProcesses(document));
      boolean ended = child.waitFor(10, TimeUnit.SECONDS);
      transcript.fact(ended ? "child ended with exit value " + child.exitValue()
                            : "child still running");
    } catch (InterruptedException e) {
      Thread.currentThread().interrupt();
    } finally {
      child.destroyForcibly();
    }
  }

  private static List<String> objects(String document) {
    List<String> found = new ArrayList<>();
    Matcher m = OBJECT.matcher(document);
    while (m.find()) {
      found.add(m.group());
    }
    return found;
  }

  /** Waits (up to 5 s) until the child is or is not stopped; returns its /proc state letter. */
  private static String awaitState(long pid, boolean stopped) {
    long deadline = System.nanoTime() + TimeUnit.SECONDS.toNanos(5);
    String state = "?";
    while (System.nanoTime() < deadline) {
      try {
        String line = Files.readString(Path.of("/proc/" + pid + "/stat"));
        state = line.substring(line.lastIndexOf(')') + 2, line.lastIndexOf(')') + 3);
      } catch (IOException e) {
        return "gone";
      }
      if (state.equals("T") == stopped) {
        break;
      }
      Thread.onSpinWait();
    }
    return state + (state.equals("T") ? " (stopped)" : " (running)");
  }
}
