package com.qor.kestrelgate.osx.natives;

/**
 * The loaded libOSXNatives and its version. The jar and the library are built together and ship
 * together; {@link OSXNativeProvider#load()} refuses a library of another version, whose natives may
 * not match the methods this jar declares.
 */
public final class NativeLibrary {
  private NativeLibrary() {}

  /** The version of this jar, the project version it was built as. */
  public static String jarVersion() {
    return BuildVersion.VERSION;
  }

  /**
   * The version of the loaded library. Throws UnsatisfiedLinkError when no library is loaded or the
   * loaded one predates this check.
   */
  public static String libraryVersion() {
    return nativeVersion();
  }

  /**
   * Throws UnsatisfiedLinkError, naming both versions, unless the loaded library is this jar's
   * version. Called by {@link OSXNativeProvider#load()} right after loading.
   */
  static void check() {
    String library;
    try {
      library = nativeVersion();
    } catch (UnsatisfiedLinkError e) {
      library = null;
    }
    String problem = mismatch(jarVersion(), library);
    if (problem != null) {
      throw new UnsatisfiedLinkError(problem);
    }
  }

  /**
   * The error text for a jar of version {@code jar} with a library of version {@code library} (null:
   * a library without a version), or null when they match.
   */
  static String mismatch(String jar, String library) {
    if (library == null) {
      return "libOSXNatives is older than osxnatives.jar " + jar
          + " (it does not report its version): install the library and the jar of one release";
    }
    if (library.equals(jar)) {
      return null;
    }
    return "libOSXNatives " + library + " does not match osxnatives.jar " + jar
        + ": install the library and the jar of one release";
  }

  private static native String nativeVersion();
}
