// NSApplicationMain: the application's main event loop, run on the process's
// main thread by an executable's `main`.
#ifndef OSXNATIVES_PLATFORM_NS_APPLICATION_MAIN_H_
#define OSXNATIVES_PLATFORM_NS_APPLICATION_MAIN_H_

#include "platform/registry.h"

namespace osxnatives::platform {

class ApplicationMain {
 public:
  virtual ~ApplicationMain() = default;
  // Runs the application's event loop until it ends; returns the exit status.
  virtual int Run(int argc, char** argv) = 0;
};

// `NSApplicationMain(argc, argv)`.
inline int NSApplicationMain(int argc, char** argv) {
  return Get<ApplicationMain>().Run(argc, argv);
}

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_NS_APPLICATION_MAIN_H_
