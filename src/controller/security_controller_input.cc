// The controller's class-wide input lockdown: one input handler and one
// display handler for the life of the process.
#include "checks/display_handler_swift.h"
#include "controller/security_controller_swift.h"
#include "input/input_handler_swift.h"

namespace osxnatives {

std::shared_ptr<InputHandlerSwift> SecurityControllerSwift::sharedInputHandler() {
  // Function-local statics are created exactly once, also when two threads
  // arrive together. Never destroyed: the handler may still be in use while
  // the process exits.
  static const auto* const handler =
      new std::shared_ptr<InputHandlerSwift>(std::make_shared<InputHandlerSwift>(true));
  return *handler;
}

std::shared_ptr<DisplayHandlerSwift> SecurityControllerSwift::sharedDisplayHandler() {
  static const auto* const handler =
      new std::shared_ptr<DisplayHandlerSwift>(std::make_shared<DisplayHandlerSwift>());
  return *handler;
}

void SecurityControllerSwift::startInputHandler() {
  sharedInputHandler()->start();
  sharedDisplayHandler()->captureDisplay();
}

void SecurityControllerSwift::stopInputHandler() {
  sharedInputHandler()->stop();
  sharedDisplayHandler()->releaseDisplay();
}

}  // namespace osxnatives
