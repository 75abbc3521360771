package com.qor.kestrelgate.osx.natives;

import com.qor.kestrelgate.osx.natives.demo.ExamLockdown;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;

/**
 * A host process for {@link AssessmentModeTest}: loads the library and runs its arguments as
 * actions, in order. Library log lines are printed as "[LEVEL] message"; answers as "RESULT ...".
 *
 * <p>Raw API: "begin", "update", "end" print the answer; "events=N" waits for N session events and
 * prints each as "RESULT event name domain code description thread", where thread says whether it
 * came on this main thread. The README's recipe: "start" and "stop" print the mode.
 * "await-log=TEXT" waits for a log line; "exit" leaves at once with status 0.
 */
public final class AssessmentChild {
  private static final List<String> logs = new ArrayList<>();
  private static final List<AssessmentMode.Event> events = new ArrayList<>();
  private static final List<Thread> threads = new ArrayList<>();

  private AssessmentChild() {}

  public static void main(String[] args) throws Exception {
    OSXNativeProvider.setListener(new OSXNativeProvider.Listener() {
      @Override
      public void log(String message, String level) {
        say("[" + level + "] " + message);
        record(logs, message);
      }

      @Override
      public void navigateToUrl(String url) {}

      @Override
      public void closeRequest() {}
    });
    OSXNativeProvider.load();
    AssessmentMode.setListener(event -> {
      synchronized (events) {
        threads.add(Thread.currentThread());
      }
      record(events, event);
    });
    Thread main = Thread.currentThread();
    ExamLockdown exam = new ExamLockdown();
    for (String action : args) {
      String argument = action.replaceFirst("^[^=]*=?", "");
      switch (action.replaceAll("=.*", "")) {
        case "begin" -> say("RESULT begin " + AssessmentMode.begin(argument));
        case "update" -> say("RESULT update " + AssessmentMode.update(argument));
        case "end" -> say("RESULT end " + AssessmentMode.end());
        case "events" -> {
          int count = Integer.parseInt(argument);
          await(events, count);
          synchronized (events) {
            for (int i = 0; i < count; i++) {
              AssessmentMode.Event e = events.get(i);
              say("RESULT event " + e.type().nativeName() + " " + e.errorDomain() + " "
                  + e.errorCode() + " " + e.errorDescription() + " "
                  + (threads.get(i) == main ? "main" : "platform"));
            }
          }
        }
        case "start" -> say("RESULT start " + exam.start(argument));
        case "stop" -> say("RESULT stop " + exam.stop());
        case "await-log" -> {
          synchronized (logs) {
            long deadline = System.nanoTime() + TimeUnit.SECONDS.toNanos(30);
            while (!logs.contains(argument)) {
              long left = deadline - System.nanoTime();
              if (left <= 0) {
                throw new IllegalStateException("no log line " + argument);
              }
              TimeUnit.NANOSECONDS.timedWait(logs, left);
            }
          }
        }
        case "exit" -> System.exit(0);
        default -> throw new IllegalArgumentException("unknown action " + action);
      }
    }
    say("DONE");
  }

  private static <T> void record(List<T> list, T item) {
    synchronized (list) {
      list.add(item);
      list.notifyAll();
    }
  }

  private static void await(List<?> list, int count) throws InterruptedException {
    synchronized (list) {
      long deadline = System.nanoTime() + TimeUnit.SECONDS.toNanos(30);
      while (list.size() < count) {
        long left = deadline - System.nanoTime();
        if (left <= 0) {
          throw new IllegalStateException("only " + list.size() + " of " + count + " in " + list);
        }
        TimeUnit.NANOSECONDS.timedWait(list, left);
      }
    }
  }

  private static void say(String line) {
    System.out.println(line);
    System.out.flush();
  }
}
