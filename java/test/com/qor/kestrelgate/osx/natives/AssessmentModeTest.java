package com.qor.kestrelgate.osx.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qor.kestrelgate.osx.natives.demo.ExamLockdown;
import java.nio.file.Files;
import java.util.List;
import org.junit.jupiter.api.Test;

/**
 * Apple's assessment mode on the simulated desktop, from Java: every delegate event in order with
 * its error, and the README's recipe ({@link ExamLockdown}) on each of its paths. Every case runs
 * in a host process of its own ({@link AssessmentChild}) with a scenario of its own.
 */
class AssessmentModeTest {
  private static final String ERROR =
      "\"domain\": \"com.example.exam\", \"code\": 9, \"description\": \"Staged failure.\"";
  private static final String STAGED = "com.example.exam 9 Staged failure.";
  private static final String LOCKDOWN_HOST = "\"currentApplication\": {\"bundleName\": \"ExamHost\"}";

  private record Row(String name, String assessment, List<String> actions, List<String> events) {}

  @Test
  void everyDelegateEventReachesJavaInOrderWithItsError() throws Exception {
    List<Row> rows = List.of(
        new Row("begins, updates, is interrupted, ends",
            "{\"interruption\": {\"after\": \"update\", " + ERROR + "}}",
            List.of("begin={}", "events=1", "update={\"allowsNetworkAccess\": true}", "events=3",
                "end", "events=4"),
            List.of("didBegin null 0 null", "didUpdate null 0 null",
                "wasInterrupted " + STAGED, "didEnd null 0 null")),
        new Row("fails to begin", "{\"beginError\": {" + ERROR + "}}",
            List.of("begin={}", "events=1"), List.of("failedToBegin " + STAGED)),
        new Row("fails to update", "{\"updateError\": {" + ERROR + "}}",
            List.of("begin={}", "events=1", "update={}", "events=2", "end", "events=3"),
            List.of("didBegin null 0 null", "failedToUpdate " + STAGED, "didEnd null 0 null")));
    for (Row row : rows) {
      ChildHost host = new ChildHost("events-" + rows.indexOf(row));
      host.scenario("{\"osVersion\": \"15.1\", \"assessment\": " + row.assessment() + "}");
      List<String> results = ChildHost.expect(0,
          host.start(AssessmentChild.class, ExamLockdown.class, row.actions().toArray(String[]::new)))
          .results();
      // Each "events=N" prints the first N again: the last one has them all.
      List<String> events = results.stream().filter(r -> r.startsWith("RESULT event "))
          .map(r -> r.substring("RESULT event ".length())).toList();
      List<String> last = events.subList(events.size() - row.events().size(), events.size());
      assertEquals(row.events().stream().map(e -> e + " platform").toList(), last, row.name());
      assertTrue(results.stream().filter(r -> r.matches("RESULT (begin|update|end) .*"))
          .allMatch(r -> r.contains("{\"ok\":true")), row.name() + ": " + results);
    }
  }

  @Test
  void theRecipeKeepsApplesModeWhenTheSessionBegins() throws Exception {
    ChildHost host = new ChildHost("recipe-apple");
    host.scenario("{" + LOCKDOWN_HOST + "}");
    List<String> results = ChildHost.expect(0, host.start(AssessmentChild.class,
        ExamLockdown.class, "start={}", "stop")).results();
    assertEquals(List.of("RESULT start assessment", "RESULT stop assessment"), results);
    List<String> calls = calls(host);
    assertEquals(List.of("AEAssessmentSession begin", "AEAssessmentSessionDelegate "
        + "assessmentSessionDidBegin:", "AEAssessmentSession end",
        "AEAssessmentSessionDelegate assessmentSessionDidEnd:"), calls);
    assertTrue(host.commands().isEmpty(), "the lockdown ran: " + host.commands());
  }

  @Test
  void theRecipeFallsBackToTheLibrarysLockdown() throws Exception {
    record Fallback(String name, String scenario, List<String> actions, List<String> results,
        List<String> assessmentCalls) {}
    List<Fallback> rows = List.of(
        new Fallback("no entitlement", "\"assessment\": {\"entitled\": false}",
            List.of("start={}", "stop"), List.of("RESULT start lockdown", "RESULT stop lockdown"),
            List.of("AEAssessmentSession begin",
                "AEAssessmentSessionDelegate assessmentSession:failedToBeginWithError:")),
        new Fallback("a Mac too old for the framework", "\"osVersion\": \"10.15.3\"",
            List.of("start={}", "stop"), List.of("RESULT start lockdown", "RESULT stop lockdown"),
            List.of()),
        new Fallback("a configuration this library refuses", "\"osVersion\": \"15.1\"",
            List.of("start={\"allowedApplications\": [{\"bundleIdentifier\": \"\"}]}", "stop"),
            List.of("RESULT start lockdown", "RESULT stop lockdown"), List.of()),
        new Fallback("an interruption",
            "\"assessment\": {\"interruption\": {\"after\": \"begin\", " + ERROR + "}}",
            List.of("start={}", "await-log=Assessment session: didEnd", "stop"),
            List.of("RESULT start assessment", "RESULT stop lockdown"),
            List.of("AEAssessmentSession begin",
                "AEAssessmentSessionDelegate assessmentSessionDidBegin:",
                "AEAssessmentSessionDelegate assessmentSession:wasInterruptedWithError:",
                "AEAssessmentSession end", "AEAssessmentSessionDelegate assessmentSessionDidEnd:")));
    for (Fallback row : rows) {
      ChildHost host = new ChildHost("recipe-" + rows.indexOf(row));
      host.scenario("{" + LOCKDOWN_HOST + ", " + row.scenario() + "}");
      ChildHost.Child child = ChildHost.expect(0, host.start(AssessmentChild.class,
          ExamLockdown.class, row.actions().toArray(String[]::new)));
      assertEquals(row.results(), child.results(), row.name());
      List<String> calls = calls(host);
      assertEquals(row.assessmentCalls(),
          calls.stream().filter(c -> c.startsWith("AEAssessment")).toList(), row.name());
      // The lockdown of the README: presentation, monitors, hot keys; all given back.
      assertTrue(calls.contains("NSApplication setPresentationOptions:"), row.name() + calls);
      assertTrue(calls.contains("NSEvent addLocalMonitorForEventsMatchingMask:handler:"),
          row.name() + calls);
      assertTrue(calls.contains("CGSSetSymbolicHotKeyEnabled CGSSetSymbolicHotKeyEnabled"),
          row.name() + calls);
      assertTrue(calls.contains("NSEvent removeMonitor:"), row.name() + calls);
      assertTrue(child.logs().contains("[INFO] Stopping input handler"), child::output);
      assertFalse(Files.exists(host.settingsFile("ExamHost")), row.name());
    }
  }

  @Test
  void eventsWhileTheJvmExitsDoNoHarm() throws Exception {
    ChildHost host = new ChildHost("exit");
    host.scenario("{\"assessment\": {\"interruption\": {\"after\": \"begin\", " + ERROR + "}}}");
    ChildHost.Child child =
        ChildHost.expect(0, host.start(AssessmentChild.class, ExamLockdown.class, "begin={}",
            "exit"));
    assertFalse(child.output().contains("hs_err"), child::output);
  }

  /** The journal's entries as "service call". */
  private static List<String> calls(ChildHost host) throws Exception {
    return host.journalLines().stream()
        .map(l -> l.replaceFirst("^\\{\"service\":\"([^\"]*)\",\"call\":\"([^\"]*)\".*", "$1 $2"))
        .toList();
  }
}
