// AVCaptureDevice authorisation and the accessibility trust check on macOS.
#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#import <AVFoundation/AVFoundation.h>
#include <ApplicationServices/ApplicationServices.h>

#include <memory>
#include <utility>

#include "platform/av_capture_device.h"
#include "platform/ax_trust.h"
#include "platform/macos/scoped_cf.h"
#include "platform/macos/services.h"
#include "platform/registry.h"

// Our interface carries the AVFoundation class name; this alias names the
// AVFoundation class inside our namespace.
using FoundationCaptureDeviceClass = AVCaptureDevice;

namespace osxnatives::platform::macos {
namespace {

// AVFoundation's constant for one of our media-type texts; nil for any other
// text (AVFoundation raises on an unknown media type).
AVMediaType MediaType(std::string_view media_type) {
  if (media_type == kAVMediaTypeVideo) {
    return AVMediaTypeVideo;
  }
  if (media_type == kAVMediaTypeAudio) {
    return AVMediaTypeAudio;
  }
  return nil;
}

class FoundationCaptureDevice : public platform::AVCaptureDevice {
 public:
  // An unknown media type counts as denied.
  int64_t authorizationStatusForMediaType(std::string_view mediaType) override {
    @autoreleasepool {
      AVMediaType type = MediaType(mediaType);
      if (type == nil) {
        return kAVAuthorizationStatusDenied;
      }
      return static_cast<int64_t>(
          [FoundationCaptureDeviceClass authorizationStatusForMediaType:type]);
    }
  }

  // AVFoundation calls its completion "on an arbitrary dispatch queue"; the
  // handler runs right there, inside a pool of its own (a dispatch queue's
  // worker thread drains none per block) and with nothing thrown out into
  // AVFoundation's frames. An unknown media type, which AVFoundation would
  // raise on, is answered no at once on the calling thread.
  void requestAccessForMediaType(std::string_view mediaType,
                                 std::function<void(bool granted)> completionHandler) override {
    @autoreleasepool {
      AVMediaType type = MediaType(mediaType);
      if (type == nil) {
        Answer(completionHandler, false);
        return;
      }
      auto handler = std::make_shared<std::function<void(bool)>>(std::move(completionHandler));
      [FoundationCaptureDeviceClass requestAccessForMediaType:type
                                            completionHandler:^(BOOL granted) {
                                              @autoreleasepool {
                                                Answer(*handler, granted == YES);
                                              }
                                            }];
    }
  }

 private:
  static void Answer(const std::function<void(bool)>& handler, bool granted) {
    try {
      handler(granted);
    } catch (...) {
      // Nothing may unwind into the caller's frames; the answer is lost, as
      // the handler chose by throwing.
    }
  }
};

class ProcessTrust : public AXTrust {
 public:
  bool AXIsProcessTrustedWithOptions(bool prompt) override {
    if (!prompt) {
      return ::AXIsProcessTrustedWithOptions(nullptr) != 0;
    }
    const void* keys[] = {kAXTrustedCheckOptionPrompt};
    const void* values[] = {kCFBooleanTrue};
    const ScopedCFTypeRef<CFDictionaryRef> options(
        CFDictionaryCreate(kCFAllocatorDefault, keys, values, 1, &kCFTypeDictionaryKeyCallBacks,
                           &kCFTypeDictionaryValueCallBacks));
    return ::AXIsProcessTrustedWithOptions(options.get()) != 0;
  }
};

}  // namespace

void RegisterAuthorization() {
  SetDefault<platform::AVCaptureDevice>(new FoundationCaptureDevice());
  SetDefault<AXTrust>(new ProcessTrust());
}

}  // namespace osxnatives::platform::macos
