package com.qor.kestrelgate.osx.natives.demo;

import com.qor.kestrelgate.osx.natives.OSXNativeProvider;
import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.file.Files;
import java.nio.file.Path;

/**
 * The input lockdown: hot corners and symbolic hot keys saved and switched off, the notification
 * centre silenced, the second display captured; then everything given back.
 *
 * <p>It writes into the home folder and runs defaults, launchctl, killall and open, so it only
 * runs when scripts/demo.sh has set up a home folder of its own (OSXNATIVES_DEMO_HOME equal to
 * HOME) and put printing stand-ins for those tools first on PATH.
 */
public final class LockdownSection {
  private LockdownSection() {}

  public static void run(Transcript transcript) {
    transcript.section("Input lockdown: hot corners, hot keys, notification centre, displays");
    String home = System.getenv("HOME");
    if (home == null || !home.equals(System.getenv("OSXNATIVES_DEMO_HOME"))) {
      transcript.fact("skipped: run through scripts/demo.sh, which gives the demo a home folder "
          + "of its own and stand-ins for the notification-centre commands");
      return;
    }
    Path dock = Path.of(home, "Library/Preferences/com.apple.dock.plist");
    Path settings = Path.of(home, "Library/Application Support/Trevant/Kestrelgate/Settings.plist");
    write(dock, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        + "<key>wvous-tl-corner</key><integer>2</integer>"
        + "<key>wvous-br-corner</key><integer>5</integer></dict></plist>\n");
    transcript.fact("the user's hot corners (Dock preferences): top left 2, bottom right 5");
    transcript.fact("enabled symbolic hot keys: 15, 27, 64, 65, 118 (the scenario)");
    transcript.fact("displays online: " + OSXNativeProvider.getDisplayCount()
        + ", main screen: " + OSXNativeProvider.getMainScreenName());

    transcript.step("startInputHandler(): save and disable, silence notifications, capture",
        OSXNativeProvider::startInputHandler);
    transcript.fact("settings file " + settings + ":");
    for (String line : read(settings).split("\n")) {
      if (line.contains("<key>") || line.contains("<integer>") || line.contains("<string>")) {
        transcript.fact("  " + line.strip());
      }
    }
    transcript.step("startInputHandler() again: already locked; displays captured again",
        OSXNativeProvider::startInputHandler);
    transcript.step("stopInputHandler(): restore from the settings file, release the displays",
        OSXNativeProvider::stopInputHandler);
    transcript.fact("settings file still there: " + Files.exists(settings));
  }

  private static void write(Path file, String text) {
    try {
      Files.createDirectories(file.getParent());
      Files.writeString(file, text);
    } catch (IOException e) {
      throw new UncheckedIOException(e);
    }
  }

  private static String read(Path file) {
    try {
      return Files.exists(file) ? Files.readString(file) : "(missing)";
    } catch (IOException e) {
      throw new UncheckedIOException(e);
    }
  }
}
