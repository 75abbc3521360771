package com.qor.kestrelgate.osx.natives;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.stream.IntStream;

/** Reads the simulated desktop's journal; builds its lines as the library writes them. */
public final class Journal {
  private final Path path = Path.of(System.getenv("OSXNATIVES_SIM_JOURNAL"));
  private int seen;

  /** The lines written since the last call of {@code since}. */
  public List<String> since() throws IOException {
    List<String> lines = Files.exists(path) ? Files.readAllLines(path) : List.of();
    List<String> fresh = lines.subList(Math.min(seen, lines.size()), lines.size());
    seen = lines.size();
    return fresh;
  }

  public static String entry(String service, String call, String args) {
    return "{\"service\":\"" + service + "\",\"call\":\"" + call + "\",\"args\":" + args + "}";
  }

  static List<String> hotKeys(boolean enabled, int... ids) {
    return IntStream.of(ids).mapToObj(id -> entry("CGSSetSymbolicHotKeyEnabled",
        "CGSSetSymbolicHotKeyEnabled", "{\"enabled\":" + enabled + ",\"id\":" + id + "}")).toList();
  }

  /** The hot corners set to {@code actions}: top left, top right, bottom left, bottom right. */
  static List<String> corners(int... actions) {
    return IntStream.range(0, 4).mapToObj(corner -> entry("CoreDockSetExposeCornerAction",
        "CoreDockSetExposeCornerAction",
        "{\"action\":" + actions[corner] + ",\"corner\":" + corner + "}")).toList();
  }

  static String display(String call, int id) {
    return entry("CoreGraphics", call, "{\"display\":" + id + "}");
  }
}
