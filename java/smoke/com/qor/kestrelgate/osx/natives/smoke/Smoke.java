package com.qor.kestrelgate.osx.natives.smoke;

import com.qor.kestrelgate.osx.natives.ExamIntegrity;
import com.qor.kestrelgate.osx.natives.OSXNativeProvider;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.regex.Pattern;

/**
 * Read-only smoke run of the real libOSXNatives on a Mac: calls only the natives that look at the
 * machine without changing it (no presentation change, no signal, no lockdown, no permission
 * prompt) and checks what the machine itself can confirm. Exits 0 when every check holds, 1 with
 * one line per failed check otherwise.
 *
 * <p>Run: {@code java -Djava.library.path=build -cp osxnatives.jar:osxnatives-smoke.jar
 * com.qor.kestrelgate.osx.natives.smoke.Smoke}
 */
public final class Smoke {
  // Guarded by Smoke.class: the library's callbacks may come on its own threads.
  private static final List<String> failures = new ArrayList<>();

  private Smoke() {}

  public static void main(String[] args) throws IOException {
    List<String> errorLines = new ArrayList<>();
    OSXNativeProvider.setListener(new OSXNativeProvider.Listener() {
      @Override
      public void log(String message, String level) {
        if (level.equalsIgnoreCase("ERROR")) {
          synchronized (errorLines) {
            errorLines.add(message);
          }
        }
      }

      @Override
      public void navigateToUrl(String url) {
        fail("navigateToUrl(\"" + url + "\") without an Apple event");
      }

      @Override
      public void closeRequest() {
        fail("closeRequest() without a key press");
      }
    });
    OSXNativeProvider.load();

    long pid = ProcessHandle.current().pid();
    int reported = OSXNativeProvider.getCurrentProcessId();
    report("getCurrentProcessId()", reported);
    check(reported == pid, "getCurrentProcessId() is " + reported + ", the JVM's pid is " + pid);

    String path = OSXNativeProvider.getProcessPath(Long.toString(pid));
    report("getProcessPath(own pid)", path);
    Path launcher = Path.of(System.getProperty("java.home"), "bin", "java");
    check(!path.isEmpty() && Files.exists(Path.of(path))
            && Files.isSameFile(Path.of(path), launcher),
        "getProcessPath(own pid) is \"" + path + "\", not " + launcher);

    String processes = OSXNativeProvider.getAllProcesses("");
    report("getAllProcesses(\"\")", processes.length() + " characters");
    check(processes.startsWith("{"), "getAllProcesses(\"\") gave no document");
    // launchd is process 1 on every Mac; it is not an application, so its kernel name is its name.
    check(Pattern.compile("\"pid\"\\s*:\\s*\"1\"").matcher(processes).find()
            && processes.contains("\"launchd\""),
        "getAllProcesses(\"\") does not list launchd as pid 1");

    int displays = OSXNativeProvider.getDisplayCount();
    report("getDisplayCount()", displays);
    check(displays >= 1 && displays <= 8, "getDisplayCount() is " + displays + ", not 1..8");
    String screen = OSXNativeProvider.getMainScreenName();
    report("getMainScreenName()", screen);
    check(screen == null || !screen.isEmpty(), "getMainScreenName() is empty rather than null");

    int vpn = OSXNativeProvider.checkVpn();
    report("checkVpn()", vpn);
    check(vpn == 0 || vpn == 1, "checkVpn() is " + vpn);
    int sharing = OSXNativeProvider.checkScreenSharing();
    report("checkScreenSharing()", sharing);
    check(sharing == 0 || sharing == 1, "checkScreenSharing() is " + sharing);
    int mice = OSXNativeProvider.getUsbMouseCount();
    int keyboards = OSXNativeProvider.getUsbKeyboardCount();
    report("getUsbMouseCount()", mice);
    report("getUsbKeyboardCount()", keyboards);
    check(mice >= 0 && keyboards >= 0, "a USB count is negative");

    report("getInfoPlistProperty(\"CFBundleIdentifier\")",
        OSXNativeProvider.getInfoPlistProperty("CFBundleIdentifier"));
    String missing = OSXNativeProvider.getInfoPlistProperty("OSXNativesSmokeNoSuchKey");
    check("".equals(missing), "a missing Info.plist key gives \"" + missing + "\", not \"\"");

    // ExamIntegrity: only the read-only report.
    String integrity = ExamIntegrity.integrityReport();
    report("ExamIntegrity.integrityReport()", integrity);
    check(integrity != null && integrity.startsWith("{"), "the integrity report is no document");
    if (integrity != null) {
      for (String section :
          new String[] {"virtualMachine", "windows", "displays", "cameras", "deviceBridges"}) {
        check(integrity.contains("\"" + section + "\":{"), "the report has no " + section);
      }
      // hw.model is always readable on a Mac, so the machine section can never be blind.
      check(integrity.contains("\"name\":\"hw.model\""), "the report has no hw.model");
      check(!integrity.contains("\"verdict\":\"unknown\""),
          "the virtual-machine verdict is unknown on a Mac");
    }

    synchronized (errorLines) {
      for (String line : errorLines) {
        fail("logged at ERROR: " + line);
      }
    }
    synchronized (Smoke.class) {
      if (!failures.isEmpty()) {
        failures.forEach(f -> System.out.println("FAILED: " + f));
        System.exit(1);
      }
    }
    System.out.println("smoke: every check held");
    // Threads the library may have attached are not daemons; leave as the browser does.
    System.exit(0);
  }

  private static void report(String call, Object value) {
    System.out.println(call + " = " + (value instanceof String ? "\"" + value + "\"" : value));
  }

  private static void check(boolean holds, String failure) {
    if (!holds) {
      fail(failure);
    }
  }

  private static synchronized void fail(String failure) {
    failures.add(failure);
  }
}
