package com.qor.kestrelgate.osx.natives.testkit;

import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * The starting state of a simulated desktop: an immutable set of scenario keys, made with
 * {@link #builder()}.
 *
 * <p>The builder takes only what the library would take. A value of the wrong type, out of range,
 * or under an unknown key or member throws {@link IllegalArgumentException} from the call that
 * gives it, naming the key ({@code scenario key "displays[0].id": ...}). Keys left out keep the
 * simulated desktop's defaults (one display, every permission granted, macOS 14.0, ...).
 *
 * <pre>{@code
 * Scenario scenario = Scenario.builder()
 *     .display(Scenario.Display.of(1, "Built-in Retina Display").main())
 *     .display(Scenario.Display.of(2, "Projector"))
 *     .networkInterfaces("en0", "utun3")
 *     .inputEvent(Scenario.InputEvent.keyDown(Scenario.InputEvent.KEY_Q,
 *         Scenario.InputEvent.COMMAND))
 *     .build();
 * }</pre>
 */
public final class Scenario {
  private final Map<String, Object> keys;
  private final Map<String, String> files;

  private Scenario(Map<String, Object> keys, Map<String, String> files) {
    this.keys = Collections.unmodifiableMap(new LinkedHashMap<>(keys));
    this.files = Collections.unmodifiableMap(new LinkedHashMap<>(files));
  }

  /**
   * A builder with no key set.
   *
   * @return a new builder; not thread-safe
   */
  public static Builder builder() {
    return new Builder();
  }

  /**
   * The keys set, with their values as JSON types (Long, Double, String, Boolean, List, Map).
   *
   * @return a read-only map in the order the keys were first set
   */
  public Map<String, Object> keys() {
    return keys;
  }

  /**
   * The scenario file's text.
   *
   * @return one JSON object
   */
  public String toJson() {
    return Json.write(keys);
  }

  /** Files staged beside the scenario file, by name (an Info.plist made from properties). */
  Map<String, String> files() {
    return files;
  }

  /** The private functions whose absence a scenario can stage. */
  public enum PrivateFunction {
    /** Reads whether a symbolic hot key is enabled (CoreGraphics). */
    CGSIsSymbolicHotKeyEnabled,
    /** Enables or disables a symbolic hot key (CoreGraphics). */
    CGSSetSymbolicHotKeyEnabled,
    /** Sets a hot corner's action (HIServices). */
    CoreDockSetExposeCornerAction;

    static String[] names() {
      return Arrays.stream(values()).map(Enum::name).toArray(String[]::new);
    }
  }

  /** The display queries whose failure a scenario can stage. */
  public enum DisplayQuery {
    /** The list of online displays. */
    CGGetOnlineDisplayList,
    /** The list of active displays. */
    CGGetActiveDisplayList
  }

  /**
   * One JSON object of a list or object key, built member by member; each member is checked when
   * it is set.
   *
   * @param <T> the entry's own type, returned by its setters
   */
  public abstract static class Entry<T extends Entry<T>> {
    private final String path;
    private final Schema.ObjectCheck check;
    private final Map<String, Object> members = new LinkedHashMap<>();

    Entry(String key) {
      Schema.Check keyCheck = Schema.key(key);
      boolean listed = keyCheck instanceof Schema.ListCheck;
      this.path = listed ? key + "[]" : key;
      this.check = (Schema.ObjectCheck) (listed ? ((Schema.ListCheck) keyCheck).element : keyCheck);
    }

    @SuppressWarnings("unchecked")
    final T put(String member, Object value) {
      members.put(member, check.member(path, member, value));
      return (T) this;
    }

    /** The members set so far; a copy. */
    final Map<String, Object> json() {
      return new LinkedHashMap<>(members);
    }
  }

  /** One display: {@code displays[]}. Online and active unless told otherwise. */
  public static final class Display extends Entry<Display> {
    private Display() {
      super("displays");
    }

    /**
     * A display.
     *
     * @param id its CoreGraphics id, 0 to 4294967295
     * @param name its localised name, or null for none
     * @return the display
     */
    public static Display of(long id, String name) {
      Display display = new Display().put("id", id);
      return name == null ? display : display.put("name", name);
    }

    /**
     * Makes it the main display (the first so marked wins).
     *
     * @return this display
     */
    public Display main() {
      return put("main", true);
    }

    /**
     * Makes it online but not active (asleep, or a mirror).
     *
     * @return this display
     */
    public Display inactive() {
      return put("active", false);
    }

    /**
     * Makes it neither online nor active.
     *
     * @return this display
     */
    public Display offline() {
      return put("online", false).put("active", false);
    }

    /**
     * Makes it the Mac's built-in panel.
     *
     * @return this display
     */
    public Display builtin() {
      return put("builtin", true);
    }

    /**
     * Makes it a mirror of another display, which leaves it inactive.
     *
     * @param id the mirrored display's id
     * @return this display
     */
    public Display mirrorOf(long id) {
      return put("mirrorOf", id).put("active", false);
    }

    /**
     * Sets the identity the display reports.
     *
     * @param vendor vendor number
     * @param model model number
     * @param serial serial number
     * @return this display
     */
    public Display identity(long vendor, long model, long serial) {
      return put("vendor", vendor).put("model", model).put("serial", serial);
    }

    /**
     * Sets the physical and pixel size.
     *
     * @param widthMm width in millimetres
     * @param heightMm height in millimetres
     * @param pixelsWide width in pixels
     * @param pixelsHigh height in pixels
     * @return this display
     */
    public Display size(double widthMm, double heightMm, long pixelsWide, long pixelsHigh) {
      return put("widthMm", widthMm).put("heightMm", heightMm).put("pixelsWide", pixelsWide)
          .put("pixelsHigh", pixelsHigh);
    }
  }

  /** One window of the window list, front to back: {@code windows[]}. On screen by default. */
  public static final class Window extends Entry<Window> {
    private Window() {
      super("windows");
    }

    /**
     * A window.
     *
     * @param ownerPid the owning process; 0 is the browser's own process
     * @return the window
     */
    public static Window ownedBy(long ownerPid) {
      return new Window().put("ownerPid", ownerPid);
    }

    /**
     * Takes the window off screen (minimised, or on another space).
     *
     * @return this window
     */
    public Window offScreen() {
      return put("onScreen", false);
    }

    /**
     * Sets the window server's number for it.
     *
     * @param number the window number
     * @return this window
     */
    public Window number(long number) {
      return put("windowNumber", number);
    }

    /**
     * Sets the owner's name as the window list reports it.
     *
     * @param name the owner's name
     * @return this window
     */
    public Window ownerName(String name) {
      return put("ownerName", name);
    }

    /**
     * Sets the window layer (0 is normal; above it floats over the exam).
     *
     * @param layer the layer
     * @return this window
     */
    public Window layer(long layer) {
      return put("layer", layer);
    }

    /**
     * Sets the window's opacity.
     *
     * @param alpha 0 (transparent) to 1
     * @return this window
     */
    public Window alpha(double alpha) {
      return put("alpha", alpha);
    }

    /**
     * Sets the sharing state: 0 none (hidden from capture), 1 read-only, 2 read-write.
     *
     * @param state 0, 1 or 2
     * @return this window
     */
    public Window sharingState(long state) {
      return put("sharingState", state);
    }

    /**
     * Sets the window's frame.
     *
     * @param x left edge
     * @param y top edge
     * @param width width, not negative
     * @param height height, not negative
     * @return this window
     */
    public Window bounds(double x, double y, double width, double height) {
      Map<String, Object> frame = new LinkedHashMap<>();
      frame.put("x", x);
      frame.put("y", y);
      frame.put("width", width);
      frame.put("height", height);
      return put("bounds", frame);
    }
  }

  /** One queued input event: {@code inputEvents[]}. Local unless made {@link #global()}. */
  public static final class InputEvent extends Entry<InputEvent> {
    /** The Command key's modifier flag. */
    public static final long COMMAND = 1L << 20;
    /** The Shift key's modifier flag. */
    public static final long SHIFT = 1L << 17;
    /** The Control key's modifier flag. */
    public static final long CONTROL = 1L << 18;
    /** The Option key's modifier flag. */
    public static final long OPTION = 1L << 19;
    /** Virtual key code of Q. */
    public static final int KEY_Q = 12;
    /** Virtual key code of H. */
    public static final int KEY_H = 4;
    /** Virtual key code of Tab. */
    public static final int KEY_TAB = 48;

    private InputEvent(String type) {
      super("inputEvents");
      put("type", type);
    }

    /**
     * A key press.
     *
     * @param keyCode the virtual key code, 0 to 65535
     * @param modifierFlags the modifier flags held, such as {@link #COMMAND}
     * @return the event
     */
    public static InputEvent keyDown(int keyCode, long modifierFlags) {
      return new InputEvent("keyDown").put("keyCode", keyCode).put("modifierFlags", modifierFlags);
    }

    /**
     * A press of a mouse button other than the left and right ones (a middle click).
     *
     * @return the event
     */
    public static InputEvent otherMouseDown() {
      return new InputEvent("otherMouseDown");
    }

    /**
     * A trackpad gesture.
     *
     * @return the event
     */
    public static InputEvent gesture() {
      return new InputEvent("gesture");
    }

    /**
     * A Force Touch pressure change.
     *
     * @return the event
     */
    public static InputEvent pressure() {
      return new InputEvent("pressure");
    }

    /**
     * Sends the event to global monitors (it happened in another application).
     *
     * @return this event
     */
    public InputEvent global() {
      return put("global", true);
    }
  }

  /** One video device: {@code cameras[]}. */
  public static final class Camera extends Entry<Camera> {
    private Camera() {
      super("cameras");
    }

    /**
     * A camera.
     *
     * @param uniqueId its unique id
     * @param localizedName its name
     * @return the camera
     */
    public static Camera of(String uniqueId, String localizedName) {
      return new Camera().put("uniqueID", uniqueId).put("localizedName", localizedName);
    }

    /**
     * Sets the model and maker.
     *
     * @param modelId model id
     * @param manufacturer manufacturer
     * @return this camera
     */
    public Camera model(String modelId, String manufacturer) {
      return put("modelID", modelId).put("manufacturer", manufacturer);
    }

    /**
     * Sets the device type (such as "AVCaptureDeviceTypeExternal").
     *
     * @param deviceType the device type
     * @return this camera
     */
    public Camera deviceType(String deviceType) {
      return put("deviceType", deviceType);
    }

    /**
     * Makes it an iPhone used as a Continuity Camera.
     *
     * @return this camera
     */
    public Camera continuityCamera() {
      return put("continuityCamera", true);
    }
  }

  /** What the machine says about itself: {@code machine}. A fact left out is unknown. */
  public static final class Machine extends Entry<Machine> {
    /** A machine with no fact known yet. */
    public Machine() {
      super("machine");
    }

    /**
     * Sets {@code kern.hv_vmm_present}.
     *
     * @param present 1 under a hypervisor, 0 on bare metal
     * @return this machine
     */
    public Machine hypervisorPresent(long present) {
      return put("hvVmmPresent", present);
    }

    /**
     * Sets {@code hw.model}.
     *
     * @param model such as "MacBookPro18,3" or "VMware7,1"
     * @return this machine
     */
    public Machine hwModel(String model) {
      return put("hwModel", model);
    }

    /**
     * Sets the platform expert's model and manufacturer.
     *
     * @param model the model
     * @param manufacturer the manufacturer
     * @return this machine
     */
    public Machine platform(String model, String manufacturer) {
      return put("platformModel", model).put("platformManufacturer", manufacturer);
    }
  }

  /** The Automatic Assessment framework's behaviour: {@code assessment}. */
  public static final class Assessment extends Entry<Assessment> {
    /** The framework as on a real Mac: entitled, every begin and update succeeds. */
    public Assessment() {
      super("assessment");
    }

    /**
     * Stages the app's assessment entitlement.
     *
     * @param entitled false: every begin fails with AEAssessmentErrorDomain 1
     * @return this staging
     */
    public Assessment entitled(boolean entitled) {
      return put("entitled", entitled);
    }

    /**
     * Stages the capabilities macOS 14.5 and later report.
     *
     * @param multipleParticipants whether allowed applications may take part
     * @param configurationUpdates whether a running session may be updated
     * @return this staging
     */
    public Assessment supports(boolean multipleParticipants, boolean configurationUpdates) {
      return put("supportsMultipleParticipants", multipleParticipants)
          .put("supportsConfigurationUpdates", configurationUpdates);
    }

    /**
     * Makes begins fail.
     *
     * @param error the error they fail with
     * @param begins which begins fail, counted from 1; none given: every begin
     * @return this staging
     */
    public Assessment beginError(Error error, long... begins) {
      Map<String, Object> json = error.json();
      if (begins.length > 0) {
        json.put("begins", Arrays.stream(begins).boxed().toList());
      }
      return put("beginError", json);
    }

    /**
     * Makes every update fail.
     *
     * @param error the error
     * @return this staging
     */
    public Assessment updateError(Error error) {
      return put("updateError", error.json());
    }

    /**
     * Interrupts the session right after it begins, or after each update.
     *
     * @param error the error the delegate receives
     * @param afterUpdate false: after the begin; true: after each update
     * @return this staging
     */
    public Assessment interruption(Error error, boolean afterUpdate) {
      Map<String, Object> json = error.json();
      json.put("after", afterUpdate ? "update" : "begin");
      return put("interruption", json);
    }

    /**
     * An NSError as the framework gives it.
     *
     * @param domain its domain, such as "AEAssessmentErrorDomain"
     * @param code its code
     * @param description its localised description
     */
    public record Error(String domain, long code, String description) {
      Map<String, Object> json() {
        Map<String, Object> json = new LinkedHashMap<>();
        json.put("domain", domain);
        json.put("code", code);
        json.put("description", description);
        return json;
      }
    }
  }

  /** Builds a {@link Scenario}. Each call checks what it is given; not thread-safe. */
  public static final class Builder {
    private final Map<String, Object> keys = new LinkedHashMap<>();
    private final Map<String, String> files = new LinkedHashMap<>();

    private Builder() {}

    /**
     * Sets a key from plain JSON types, for what the typed calls do not cover. A value may be
     * null, a Boolean, String, Integer, Long, Double, List or Map with text keys.
     *
     * @param key a scenario key the library reads
     * @param value its value; replaces an earlier one
     * @return this builder
     * @throws IllegalArgumentException for an unknown key or a value the library would reject,
     *     naming the key
     */
    public Builder set(String key, Object value) {
      keys.put(key, Schema.key(key).check(key, value));
      return this;
    }

    private Builder add(String key, Object entry) {
      Schema.ListCheck check = (Schema.ListCheck) Schema.key(key);
      @SuppressWarnings("unchecked")
      List<Object> list = new ArrayList<>((List<Object>) keys.getOrDefault(key, List.of()));
      list.add(check.element.check(key + "[" + list.size() + "]", entry));
      keys.put(key, Collections.unmodifiableList(list));
      return this;
    }

    private Builder member(String key, String member, Object value) {
      Schema.ObjectCheck check = (Schema.ObjectCheck) Schema.key(key);
      @SuppressWarnings("unchecked")
      Map<String, Object> object =
          new LinkedHashMap<>((Map<String, Object>) keys.getOrDefault(key, Map.of()));
      object.put(member, check.member(key, member, value));
      keys.put(key, Collections.unmodifiableMap(object));
      return this;
    }

    private Builder entry(String key, Entry<?> entry) {
      Schema.Check check = Schema.key(key);
      keys.put(key, check.check(key, entry.json()));
      return this;
    }

    /**
     * Sets {@code currentApplication}: the browser itself.
     *
     * @param localizedName its name; processes so named are left out of process lists
     * @param bundleIdentifier its bundle id ("CFBundleIdentifier")
     * @param bundleName its "CFBundleName", which names the lockdown's settings folder
     * @return this builder
     */
    public Builder currentApplication(String localizedName, String bundleIdentifier,
        String bundleName) {
      Map<String, Object> app = new LinkedHashMap<>();
      app.put("localizedName", localizedName);
      app.put("bundleIdentifier", bundleIdentifier);
      app.put("bundleName", bundleName);
      app.values().removeIf(v -> v == null);
      return set("currentApplication", app);
    }

    /**
     * Adds one of {@code runningApplications}.
     *
     * @param pid its process id; 0 is the browser's own process
     * @param localizedName its name, or null
     * @param bundleIdentifier its bundle id, or null
     * @return this builder
     */
    public Builder runningApplication(long pid, String localizedName, String bundleIdentifier) {
      Map<String, Object> app = new LinkedHashMap<>();
      app.put("pid", pid);
      app.put("localizedName", localizedName);
      app.put("bundleIdentifier", bundleIdentifier);
      app.values().removeIf(v -> v == null);
      return add("runningApplications", app);
    }

    /**
     * Sets {@code frontmostApplication}.
     *
     * @param bundleIdentifier the bundle id of a running application or of the browser
     * @return this builder
     */
    public Builder frontmostApplication(String bundleIdentifier) {
      return set("frontmostApplication", bundleIdentifier);
    }

    /**
     * Sets {@code keyWindowTitle}: the title of the browser's key window.
     *
     * @param title the title
     * @return this builder
     */
    public Builder keyWindowTitle(String title) {
      return set("keyWindowTitle", title);
    }

    /**
     * Sets {@code infoPlist} to an existing property-list file.
     *
     * @param file an XML or binary Info.plist
     * @return this builder
     */
    public Builder infoPlist(Path file) {
      files.remove("Info.plist");
      return set("infoPlist", file.toAbsolutePath().toString());
    }

    /**
     * Sets {@code infoPlist} to an Info.plist holding these text properties, written when the
     * desktop is staged.
     *
     * @param properties keys and their text values
     * @return this builder
     */
    public Builder infoPlist(Map<String, String> properties) {
      StringBuilder xml = new StringBuilder("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          + "<plist version=\"1.0\">\n<dict>\n");
      properties.forEach((key, value) -> xml.append("  <key>").append(escapeXml(key))
          .append("</key>\n  <string>").append(escapeXml(value)).append("</string>\n"));
      files.put("Info.plist", xml.append("</dict>\n</plist>\n").toString());
      return set("infoPlist", "Info.plist");
    }

    private static String escapeXml(String text) {
      return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;");
    }

    /**
     * Adds a window to {@code windows} (behind those added before).
     *
     * @param window the window
     * @return this builder
     */
    public Builder window(Window window) {
      return add("windows", window.json());
    }

    /**
     * Adds a display to {@code displays}. Once one is added, the default display is gone.
     *
     * @param display the display
     * @return this builder
     */
    public Builder display(Display display) {
      return add("displays", display.json());
    }

    /**
     * Makes a display query fail ({@code displayErrors}).
     *
     * @param query the query
     * @param code the CGError it returns
     * @return this builder
     */
    public Builder displayError(DisplayQuery query, int code) {
      return member("displayErrors", query.name(), code);
    }

    /**
     * Sets {@code symbolicHotKeys.disabled}: hot keys the user had disabled before the exam.
     *
     * @param ids symbolic hot key ids
     * @return this builder
     */
    public Builder disabledHotKeys(int... ids) {
      return member("symbolicHotKeys", "disabled", Arrays.stream(ids).boxed().toList());
    }

    /**
     * Adds to {@code privateFunctions.missingBundles}: a bundle that cannot be created.
     *
     * @param path the bundle's path
     * @return this builder
     */
    public Builder missingBundle(String path) {
      return addToMember("privateFunctions", "missingBundles", path);
    }

    /**
     * Adds to {@code privateFunctions.unloadableBundles}: a bundle whose executable does not load.
     *
     * @param path the bundle's path
     * @return this builder
     */
    public Builder unloadableBundle(String path) {
      return addToMember("privateFunctions", "unloadableBundles", path);
    }

    /**
     * Adds to {@code privateFunctions.missingFunctions}.
     *
     * @param function the function that cannot be found
     * @return this builder
     */
    public Builder missingFunction(PrivateFunction function) {
      return addToMember("privateFunctions", "missingFunctions", function.name());
    }

    private Builder addToMember(String key, String member, Object value) {
      @SuppressWarnings("unchecked")
      Map<String, Object> object = (Map<String, Object>) keys.getOrDefault(key, Map.of());
      @SuppressWarnings("unchecked")
      List<Object> list = new ArrayList<>((List<Object>) object.getOrDefault(member, List.of()));
      list.add(value);
      return member(key, member, list);
    }

    /**
     * Sets {@code notificationCenterDelegate}: the delegate the browser had installed.
     *
     * @param name the delegate's name
     * @return this builder
     */
    public Builder notificationCenterDelegate(String name) {
      return set("notificationCenterDelegate", name);
    }

    /**
     * Sets {@code networkInterfaces}, which replace the machine's: a name starting with tap, tun,
     * ppp, ipsec or utun is a VPN.
     *
     * @param names the interfaces that are up
     * @return this builder
     */
    public Builder networkInterfaces(String... names) {
      return set("networkInterfaces", Arrays.asList(names));
    }

    /**
     * Sets {@code usbProducts}, which replace the machine's USB devices.
     *
     * @param names product names; null is a device without one
     * @return this builder
     */
    public Builder usbProducts(String... names) {
      return set("usbProducts", Arrays.asList(names));
    }

    /**
     * Sets the camera's authorisation status ({@code permissions.camera}).
     *
     * @param status 0 not determined, 1 restricted, 2 denied, 3 authorised
     * @return this builder
     */
    public Builder cameraPermission(int status) {
      return member("permissions", "camera", status);
    }

    /**
     * Sets the microphone's authorisation status ({@code permissions.microphone}).
     *
     * @param status 0 not determined, 1 restricted, 2 denied, 3 authorised
     * @return this builder
     */
    public Builder microphonePermission(int status) {
      return member("permissions", "microphone", status);
    }

    /**
     * Sets the user's answer to a camera request while its status is 0.
     *
     * @param granted the answer
     * @return this builder
     */
    public Builder cameraRequestGranted(boolean granted) {
      return member("permissions", "cameraRequestGranted", granted);
    }

    /**
     * Sets the user's answer to a microphone request while its status is 0.
     *
     * @param granted the answer
     * @return this builder
     */
    public Builder microphoneRequestGranted(boolean granted) {
      return member("permissions", "microphoneRequestGranted", granted);
    }

    /**
     * Stages accessibility trust.
     *
     * @param trusted whether the process starts trusted
     * @param grantedAfterPolls when not: one-second polls after the prompt until the user grants
     * @return this builder
     */
    public Builder accessibility(boolean trusted, int grantedAfterPolls) {
      member("permissions", "accessibilityTrusted", trusted);
      return member("permissions", "accessibilityGrantedAfterPolls", grantedAfterPolls);
    }

    /**
     * Sets {@code osVersion}.
     *
     * @param version "major[.minor[.patch]]", such as "13.6" or "15.1"
     * @return this builder
     */
    public Builder osVersion(String version) {
      return set("osVersion", version);
    }

    /**
     * Queues an input event ({@code inputEvents}), delivered once the browser's event listener is
     * started.
     *
     * @param event the event
     * @return this builder
     */
    public Builder inputEvent(InputEvent event) {
      return add("inputEvents", event.json());
    }

    /**
     * Queues a get-URL Apple event ({@code appleEvents}), delivered once app delegation is started.
     *
     * @param url the URL, handed to {@code navigateToUrl} as it is
     * @return this builder
     */
    public Builder urlEvent(String url) {
      return appleEvent("GURL", "GURL", url);
    }

    /**
     * Queues an Apple event ({@code appleEvents}).
     *
     * @param eventClass four ASCII characters
     * @param eventId four ASCII characters
     * @param url the direct parameter
     * @return this builder
     */
    public Builder appleEvent(String eventClass, String eventId, String url) {
      Map<String, Object> event = new LinkedHashMap<>();
      event.put("eventClass", eventClass);
      event.put("eventID", eventId);
      event.put("url", url);
      return add("appleEvents", event);
    }

    /**
     * Sets {@code assessment}.
     *
     * @param assessment the framework's staging
     * @return this builder
     */
    public Builder assessment(Assessment assessment) {
      return entry("assessment", assessment);
    }

    /**
     * Sets {@code machine}.
     *
     * @param machine the facts
     * @return this builder
     */
    public Builder machine(Machine machine) {
      return entry("machine", machine);
    }

    /**
     * Adds to {@code cameras}, which replace the machine's video devices.
     *
     * @param camera the camera
     * @return this builder
     */
    public Builder camera(Camera camera) {
      return add("cameras", camera.json());
    }

    /**
     * Adds one of the browser's own windows ({@code hostWindows}).
     *
     * @param windowNumber its number
     * @param sharingType 0 none, 1 read-only, 2 read-write
     * @return this builder
     */
    public Builder hostWindow(long windowNumber, int sharingType) {
      return add("hostWindows", Map.of("windowNumber", windowNumber, "sharingType", sharingType));
    }

    /**
     * Adds to {@code applicationLaunches}, delivered in order once an application watch starts.
     *
     * @param pid the process, 1 or more
     * @param bundleIdentifier its bundle id, or null
     * @param localizedName its name, or null
     * @param terminated false: it launched; true: it ended
     * @return this builder
     */
    public Builder applicationLaunch(long pid, String bundleIdentifier, String localizedName,
        boolean terminated) {
      Map<String, Object> event = new LinkedHashMap<>();
      event.put("pid", pid);
      event.put("bundleIdentifier", bundleIdentifier);
      event.put("localizedName", localizedName);
      event.put("terminated", terminated);
      event.values().removeIf(v -> v == null);
      return add("applicationLaunches", event);
    }

    /**
     * The scenario as set so far; the builder stays usable.
     *
     * @return an immutable scenario
     * @throws IllegalArgumentException when {@code frontmostApplication} names no running
     *     application and not the browser itself, which the library would leave without a
     *     frontmost application
     */
    public Scenario build() {
      if (keys.get("frontmostApplication") instanceof String frontmost) {
        List<Object> applications = new ArrayList<>();
        if (keys.get("runningApplications") instanceof List<?> running) {
          applications.addAll(running);
        }
        applications.add(keys.get("currentApplication"));
        if (applications.stream().noneMatch(app -> app instanceof Map<?, ?> map
            && frontmost.equals(map.get("bundleIdentifier")))) {
          throw Schema.reject("frontmostApplication", "\"" + frontmost
              + "\" is the bundle identifier of no running application nor of the current one");
        }
      }
      return new Scenario(keys, files);
    }
  }
}
