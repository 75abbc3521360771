package com.qor.kestrelgate.osx.natives.demo;

import com.qor.kestrelgate.osx.natives.OSXNativeProvider;
import java.io.IOException;
import java.io.RandomAccessFile;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;

/**
 * Prints a readable record of a demo session: each step, the log lines and callbacks the library
 * sent to Java during it, and the journal entries of the simulated desktop it caused.
 */
public final class Transcript implements OSXNativeProvider.Listener {
  private final String journalPath;
  private final List<String> pending = new ArrayList<>();
  private long journalOffset;

  public Transcript(String journalPath) {
    this.journalPath = journalPath;
  }

  @Override
  public synchronized void log(String message, String level) {
    pending.add("  log      [" + level + "] " + message);
  }

  @Override
  public synchronized void navigateToUrl(String url) {
    pending.add("  navigate " + url);
  }

  @Override
  public synchronized void closeRequest() {
    pending.add("  close    (the browser is asked to close)");
  }

  /** Prints a section heading. */
  public void section(String title) {
    System.out.println();
    System.out.println("== " + title + " ==");
  }

  /** Runs one step and prints what it caused. */
  public void step(String title, Runnable action) {
    System.out.println("> " + title);
    action.run();
    flush();
  }

  /** Prints a fact the demo found out. */
  public void fact(String text) {
    System.out.println("  = " + text);
  }

  /** Prints the callbacks and journal entries collected since the last flush. */
  public void flush() {
    synchronized (this) {
      pending.forEach(System.out::println);
      pending.clear();
    }
    for (String entry : readNewJournalLines()) {
      System.out.println("  journal  " + entry);
    }
  }

  private List<String> readNewJournalLines() {
    List<String> lines = new ArrayList<>();
    if (journalPath == null || journalPath.isEmpty()) {
      return lines;
    }
    try (RandomAccessFile file = new RandomAccessFile(journalPath, "r")) {
      if (file.length() <= journalOffset) {
        return lines;
      }
      byte[] bytes = new byte[(int) (file.length() - journalOffset)];
      file.seek(journalOffset);
      file.readFully(bytes);
      String text = new String(bytes, StandardCharsets.UTF_8);
      int end = text.lastIndexOf('\n');
      if (end < 0) {
        return lines;
      }
      journalOffset += text.substring(0, end + 1).getBytes(StandardCharsets.UTF_8).length;
      for (String line : text.substring(0, end).split("\n")) {
        lines.add(line);
      }
    } catch (IOException e) {
      lines.add("(journal unreadable: " + e.getMessage() + ")");
    }
    return lines;
  }
}
