package com.qor.kestrelgate.osx.natives;

import java.util.Objects;

/**
 * Apple's assessment mode (the Automatic Assessment Configuration framework, macOS 10.15.4 and
 * later) through libOSXNatives.
 *
 * <p>While a session runs, macOS itself keeps the application in front, blocks other applications
 * and their network access, and turns off screenshots, screen recording, dictation and other
 * system features. A session needs Apple's restricted entitlement {@code
 * com.apple.developer.automatic-assessment-configuration}; without it, or on a Mac too old for the
 * framework, the session fails to begin and the browser falls back to the library's own lockdown
 * ({@link OSXNativeProvider#hideDockAndMenu}, {@link OSXNativeProvider#startEventListener}, {@link
 * OSXNativeProvider#startInputHandler}). Nothing here touches that lockdown, so the two modes never
 * undo each other.
 *
 * <p>Every method answers with a JSON document whose first member is {@code "ok"}; {@link
 * #accepted} reads it. An accepted {@link #begin}, {@link #update} or {@link #end} has only been
 * asked for: the outcome arrives as an {@link Event} on the {@link Listener}, in the order the
 * system delivers them, on the system's main thread. One session runs at a time; a begin while one
 * runs, or an end without one, is refused and changes nothing.
 *
 * <p>Load the library first ({@link OSXNativeProvider#load}).
 */
public final class AssessmentMode {
  /** What the system reports about a session. */
  public enum EventType {
    /** The session began: the Mac is in assessment mode. */
    DID_BEGIN("didBegin"),
    /** The session could not begin (no entitlement, an unsupported Mac, a refusal). */
    FAILED_TO_BEGIN("failedToBegin"),
    /** A system failure interrupted the running session; end it. */
    WAS_INTERRUPTED("wasInterrupted"),
    /** The session ended: the Mac left assessment mode. */
    DID_END("didEnd"),
    /** The running session took the new configuration. */
    DID_UPDATE("didUpdate"),
    /** The running session kept its configuration. */
    FAILED_TO_UPDATE("failedToUpdate");

    private final String nativeName;

    EventType(String nativeName) {
      this.nativeName = nativeName;
    }

    /** The event's name as the library sends it ("didBegin", ...). */
    public String nativeName() {
      return nativeName;
    }

    static EventType fromNativeName(String name) {
      for (EventType type : values()) {
        if (type.nativeName.equals(name)) {
          return type;
        }
      }
      throw new IllegalArgumentException("unknown assessment event " + name);
    }
  }

  /**
   * One delegate event. The error fields are set for {@link EventType#FAILED_TO_BEGIN}, {@link
   * EventType#WAS_INTERRUPTED} and {@link EventType#FAILED_TO_UPDATE}, and null (code 0) otherwise.
   *
   * @param type what happened
   * @param errorDomain the NSError's domain, for example "AEAssessmentErrorDomain"
   * @param errorCode the NSError's code
   * @param errorDescription the NSError's localized description
   */
  public record Event(EventType type, String errorDomain, long errorCode, String errorDescription) {
    public Event {
      Objects.requireNonNull(type, "type");
    }

    /** Whether the event carries an error. */
    public boolean isFailure() {
      return errorDomain != null;
    }
  }

  /** Receives the session's events. Called on the system's main thread, one at a time. */
  public interface Listener {
    void onEvent(Event event);
  }

  private static volatile Listener listener;

  private AssessmentMode() {}

  /** Sets the listener of every later event; null drops the events. */
  public static void setListener(Listener newListener) {
    listener = newListener;
  }

  /** Whether an answer of this class reports success ({@code "ok":true}); false for null. */
  public static boolean accepted(String answer) {
    return answer != null && answer.startsWith("{\"ok\":true");
  }

  /**
   * What this Mac offers: {@code {"available":bool,"reason":text,"supportsApplications":bool,
   * "supportsKeyboardOptions":bool,"supportsMultipleParticipants":bool,
   * "supportsConfigurationUpdates":bool,"session":"none"|"beginning"|"active"|"interrupted"|
   * "ending"}}. "available" is false below macOS 10.15.4 (with the reason); applications from macOS
   * 12, keyboard options from 15, multiple participants and updates as reported from 14.5.
   */
  public static native String availability();

  /**
   * Begins a session with a JSON configuration; every key is optional:
   *
   * <pre>{@code
   * {"allowsNetworkAccess": false,                        // this application, macOS 12+
   *  "allowedApplications": [                             // macOS 12+, at most 64
   *    {"bundleIdentifier": "com.apple.calculator",       // required
   *     "teamIdentifier": "ABCDE12345",                   // optional
   *     "requiresSignatureValidation": true,              // default true
   *     "allowsNetworkAccess": false}],                   // default false
   *  "autocorrectMode": ["spelling", "punctuation"],      // macOS 15+
   *  "allowsSpellCheck": false, "allowsPredictiveKeyboard": false,
   *  "allowsKeyboardShortcuts": false}                    // macOS 15+
   * }</pre>
   *
   * <p>Answers {@code {"ok":true,"unsupportedKeys":[...]}} when the session was asked to begin;
   * keys this Mac's macOS does not know are listed there and left out. Answers {@code
   * {"ok":false,"error":...,"key":...}} for a configuration that is not JSON, an unknown key, a
   * value of the wrong type, a malformed identifier or too many applications (naming the key), when
   * a session is already running, or when the framework is missing; then no session starts. Null
   * only if the library failed internally (logged).
   */
  public static native String begin(String configuration);

  /**
   * Hands the running session a new configuration (macOS 12 and later), in the form {@link #begin}
   * takes. Refused unless a session did begin and was not interrupted.
   */
  public static native String update(String configuration);

  /** Ends the current session, whatever its state. Refused when none runs or it is ending. */
  public static native String end();

  /** Called by the library for each delegate event, on the thread that delivers it. */
  static void sessionEvent(String event, String errorDomain, long errorCode, String description) {
    Listener current = listener;
    if (current == null) {
      return;
    }
    current.onEvent(new Event(EventType.fromNativeName(event), errorDomain, errorCode, description));
  }
}
