// NSTask on macOS: the shell runner (launch path, `launch`, `waitUntilExit`)
// and the tool runner whose standard output is an NSPipe read to end of file.
// NSTask collects its own children; both runners wait for the exit before
// returning, so no child outlives the call.
#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#import <Foundation/Foundation.h>

#include "platform/macos/cf_json.h"
#include "platform/macos/services.h"
#include "platform/ns_task.h"
#include "platform/ns_task_pipe.h"
#include "platform/registry.h"

// Our interface carries the Foundation class name; this alias names the
// Foundation class inside our namespace.
using FoundationTaskClass = NSTask;

namespace osxnatives::platform::macos {
namespace {

NSString* NewString(const std::string& utf8) {
  return CFBridgingRelease(CreateCFStringFromUtf8(utf8));
}

// Nil when an argument is not well-formed UTF-8.
NSArray<NSString*>* NewArguments(const std::vector<std::string>& arguments) {
  NSMutableArray<NSString*>* list = [NSMutableArray arrayWithCapacity:arguments.size()];
  for (const std::string& argument : arguments) {
    NSString* text = NewString(argument);
    if (text == nil) {
      return nil;
    }
    [list addObject:text];
  }
  return list;
}

class FoundationTask : public NSTask {
 public:
  TaskOutcome launchAndWait(const std::string& launch_path,
                            const std::vector<std::string>& arguments) override {
    @autoreleasepool {
      TaskOutcome outcome;
      NSString* path = NewString(launch_path);
      NSArray<NSString*>* list = NewArguments(arguments);
      if (path == nil || list == nil) {
        outcome.error = "cannot launch " + launch_path + ": not UTF-8 text";
        return outcome;
      }
      FoundationTaskClass* task = [[FoundationTaskClass alloc] init];
      task.launchPath = path;
      task.arguments = list;
      // `launch` raises (an inaccessible launch path, a failed fork) instead
      // of reporting; no child exists then.
      @try {
        [task launch];
      } @catch (NSException* exception) {
        outcome.error = "cannot launch " + launch_path + ": " +
                        Utf8FromCFString((__bridge CFStringRef)exception.reason);
        return outcome;
      }
      outcome.launched = true;
      [task waitUntilExit];
      outcome.terminatedBySignal = task.terminationReason == NSTaskTerminationReasonUncaughtSignal;
      outcome.terminationStatus = task.terminationStatus;
      return outcome;
    }
  }
};

class FoundationPipedTask : public PipedTask {
 public:
  std::optional<std::string> LaunchAndReadToEndOfFile(
      const std::string& executable, const std::vector<std::string>& arguments) override {
    @autoreleasepool {
      NSString* path = NewString(executable);
      NSArray<NSString*>* list = NewArguments(arguments);
      if (path == nil || list == nil) {
        return std::nullopt;
      }
      FoundationTaskClass* task = [[FoundationTaskClass alloc] init];
      task.executableURL = [NSURL fileURLWithPath:path isDirectory:NO];
      task.arguments = list;
      NSPipe* pipe = nil;
      // Out of descriptors, the pipe raises; a start that fails otherwise is
      // reported. No child exists in either case.
      @try {
        pipe = [NSPipe pipe];
        if (pipe == nil) {
          return std::nullopt;
        }
        // Launching closes this process's copy of the writing end, so end of
        // file comes when the child (and whatever inherited its output) has
        // closed it.
        task.standardOutput = pipe;
        if (![task launchAndReturnError:nil]) {
          return std::nullopt;
        }
      } @catch (NSException* exception) {
        return std::nullopt;
      }
      NSFileHandle* reading = pipe.fileHandleForReading;
      NSData* data = [reading readDataToEndOfFileAndReturnError:nil];
      // After a failed read the child may still be writing: closing our end
      // ends that (SIGPIPE or EPIPE), so the wait below cannot hang on it.
      [reading closeAndReturnError:nil];
      [task waitUntilExit];
      if (data == nil) {
        return std::string();
      }
      return std::string(static_cast<const char*>(data.bytes), data.length);
    }
  }
};

}  // namespace

void RegisterTasks() {
  SetDefault<NSTask>(new FoundationTask());
  SetDefault<PipedTask>(new FoundationPipedTask());
}

}  // namespace osxnatives::platform::macos
