// SecurityControllerSwift: the facade between the native methods and the
// lockdown machinery.
//
// Most native methods create a controller for one call and drop it. The
// Apple-event handler and the event monitors belong to the one long-lived
// controller, `shared()`.
#ifndef OSXNATIVES_CONTROLLER_SECURITY_CONTROLLER_SWIFT_H_
#define OSXNATIVES_CONTROLLER_SECURITY_CONTROLLER_SWIFT_H_

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace osxnatives {

class AppDelegateSwift;
class EventListenerSwift;
class ProcessDiscoveryStrategyHelperSwift;
class InputHandlerSwift;
class DisplayHandlerSwift;

class SecurityControllerSwift {
 public:
  // Presentation options of the three presentation modes.
  static constexpr uint64_t kDockAndMenuHiddenOptions = 26;  // hide Dock, menu bar, Apple menu
  static constexpr uint64_t kAllHiddenOptions = 442;         // plus no switching, quitting, hiding
  static constexpr uint64_t kDefaultOptions = 0;

  SecurityControllerSwift();
  virtual ~SecurityControllerSwift();
  SecurityControllerSwift(const SecurityControllerSwift&) = delete;
  SecurityControllerSwift& operator=(const SecurityControllerSwift&) = delete;

  // The process-wide controller. Created on first call (thread-safe) and kept
  // until the process ends.
  static const std::shared_ptr<SecurityControllerSwift>& shared();

  // Presentation changes. Each sets the application's presentation options,
  // then turns universal clipboard sharing off and empties the clipboard
  // (also when returning to the default). Run on the calling thread.
  void setDockAndMenuHidden();
  void setUIModeAllHidden();
  void setUIModeDefault();

  // Holds the process-wide discovery helper that every controller's listing
  // and path requests use.
  class ProcessDiscoveryStrategyHelper {
   public:
    // Created on first call (thread-safe), kept until the process ends.
    static ProcessDiscoveryStrategyHelperSwift& shared();
  };

  // Process listing and control, on the calling thread. Each returns the
  // empty string where there is no path or no document.
  //
  // The executable path of the process `processId` names.
  std::string getProcessPath(const std::string& processId);
  // The process-list document of every process (the host application left
  // out); `pausePhase` "PERIODIC" uses the on-screen window list.
  std::string getAllProcesses(const std::string& pausePhase);
  // Pauses (SIGSTOP) or kills (SIGKILL) the processes `json` names, with a new
  // ProcessControllerSwift; returns the document of those not signalled.
  std::string pauseAll(const std::string& json);
  std::string killAll(const std::string& json);
  // Resumes (SIGCONT) the processes `json` names.
  void resumeAll(const std::string& json);
  // Class-wide input lockdown (security_controller_input.cc). The handlers
  // are created on first use (thread-safe) and kept until the process ends;
  // the input handler with inputDisabled true.
  static std::shared_ptr<InputHandlerSwift> sharedInputHandler();
  static std::shared_ptr<DisplayHandlerSwift> sharedDisplayHandler();
  // `start` of the input handler, then `captureDisplay`. May throw
  // InternalInconsistencyException. Blocks until the lock commands exited.
  // A lockdown holds the settings lock (input/settings_lock.h) until the
  // matching `stopInputHandler`, waiting at most kSettingsLockWait for it.
  // Thread-safe: each start and stop runs whole, displays included, under one
  // process-wide lock.
  static void startInputHandler();
  // `stop` of the input handler, then `releaseDisplay`. Blocks until the
  // unlock commands exited. Lets the settings lock go.
  static void stopInputHandler();
  // How long a lockdown or unlock waits for another holder of the settings
  // lock (the recovery tool, another host) before it goes on without it; it
  // then leaves the holder's settings file alone (neither saves nor restores).
  static constexpr std::chrono::milliseconds kSettingsLockWait{10000};

  // Installs `sharedAppDelegation` as the get-URL Apple-event handler.
  void startAppDelegation();
  // Starts `sharedEventListener` with the values from Java, unchanged.
  void startEventListenerWithDeliveryMode(std::string_view deliveryMode,
                                          std::optional<std::string_view> client,
                                          bool isSystemTest);
  // Removes the monitors that `sharedEventListener`'s last start installed.
  void stopEventListener();

  // Created with the controller; each controller has its own pair.
  const std::shared_ptr<AppDelegateSwift> sharedAppDelegation;
  const std::shared_ptr<EventListenerSwift> sharedEventListener;

 private:
  void applyPresentation(uint64_t options);
};

}  // namespace osxnatives

#endif  // OSXNATIVES_CONTROLLER_SECURITY_CONTROLLER_SWIFT_H_
