package com.qor.kestrelgate.osx.natives.testkit;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Optional;

/**
 * The simulated desktop's journal, in the order the effects happened. Immutable.
 *
 * @param entries every entry; read-only
 */
public record Journal(List<JournalEntry> entries) {
  /**
   * A journal of these entries.
   *
   * @param entries the entries, copied
   */
  public Journal {
    entries = List.copyOf(entries);
  }

  /**
   * Reads journal text: one JSON object a line; blank lines are skipped.
   *
   * @param text the journal's text
   * @return the journal
   * @throws IllegalArgumentException for a line that is not a journal entry
   */
  public static Journal parse(String text) {
    return new Journal(text.lines().filter(line -> !line.isBlank()).map(JournalEntry::parse)
        .toList());
  }

  /**
   * Reads a journal file.
   *
   * @param file the file; a missing one is an empty journal (nothing happened)
   * @return the journal
   * @throws IOException when it cannot be read
   */
  public static Journal read(Path file) throws IOException {
    return Files.exists(file) ? parse(Files.readString(file, StandardCharsets.UTF_8))
        : new Journal(List.of());
  }

  /**
   * The entries of one call.
   *
   * @param service the service, such as "CoreGraphics"
   * @param call the call, such as "CGDisplayCapture"
   * @return those entries, in order
   */
  public List<JournalEntry> calls(String service, String call) {
    return entries.stream().filter(entry -> entry.is(service, call)).toList();
  }

  /**
   * The entries of one service.
   *
   * @param service the service
   * @return its entries, in order
   */
  public List<JournalEntry> of(String service) {
    return entries.stream().filter(entry -> entry.service().equals(service)).toList();
  }

  /**
   * The first entry of one call.
   *
   * @param service the service
   * @param call the call
   * @return the entry, or empty when the call never happened
   */
  public Optional<JournalEntry> first(String service, String call) {
    return entries.stream().filter(entry -> entry.is(service, call)).findFirst();
  }

  /**
   * The last entry of one call.
   *
   * @param service the service
   * @param call the call
   * @return the entry, or empty when the call never happened
   */
  public Optional<JournalEntry> last(String service, String call) {
    List<JournalEntry> calls = calls(service, call);
    return calls.isEmpty() ? Optional.empty() : Optional.of(calls.get(calls.size() - 1));
  }

  /**
   * The raw lines.
   *
   * @return every line as the library wrote it
   */
  public List<String> lines() {
    return entries.stream().map(JournalEntry::raw).toList();
  }
}
