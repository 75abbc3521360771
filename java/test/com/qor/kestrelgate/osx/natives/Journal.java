package com.qor.kestrelgate.osx.natives;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;

/** Reads the simulated desktop's journal named by OSXNATIVES_SIM_JOURNAL. */
public final class Journal {
  private final Path path;
  private int seen;

  public Journal() {
    String name = System.getenv("OSXNATIVES_SIM_JOURNAL");
    if (name == null || name.isEmpty()) {
      throw new IllegalStateException("OSXNATIVES_SIM_JOURNAL is not set");
    }
    this.path = Path.of(name);
  }

  /** All lines written so far. */
  public List<String> all() throws IOException {
    if (!Files.exists(path)) {
      return List.of();
    }
    return Files.readAllLines(path, StandardCharsets.UTF_8);
  }

  /** The lines written since the last call of {@code since} or {@link #skip}. */
  public List<String> since() throws IOException {
    List<String> lines = all();
    List<String> fresh = lines.subList(Math.min(seen, lines.size()), lines.size());
    seen = lines.size();
    return fresh;
  }

  /** Forgets everything written so far. */
  public void skip() throws IOException {
    seen = all().size();
  }

  /** A journal line as the library writes it. */
  public static String entry(String service, String call, String args) {
    return "{\"service\":\"" + service + "\",\"call\":\"" + call + "\",\"args\":" + args + "}";
  }
}
