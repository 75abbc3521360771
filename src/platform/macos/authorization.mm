// AVCaptureDevice authorisation and the accessibility trust check on macOS.
#import <AVFoundation/AVFoundation.h>
#include <ApplicationServices/ApplicationServices.h>
#include <dispatch/dispatch.h>

#include <memory>

#include "platform/av_capture_device.h"
#include "platform/ax_trust.h"
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

  // AVFoundation answers on a queue of its own; the answer is passed on from
  // a global queue, so it never reaches the caller's thread even when
  // AVFoundation answers at once. An unknown media type is answered no.
  void requestAccessForMediaType(std::string_view mediaType,
                                 std::function<void(bool granted)> completionHandler) override {
    @autoreleasepool {
      auto handler = std::make_shared<std::function<void(bool)>>(std::move(completionHandler));
      auto answer = [handler](bool granted) {
        dispatch_async(dispatch_get_global_queue(QOS_CLASS_DEFAULT, 0), ^{
          (*handler)(granted);
        });
      };
      AVMediaType type = MediaType(mediaType);
      if (type == nil) {
        answer(false);
        return;
      }
      [FoundationCaptureDeviceClass requestAccessForMediaType:type
                                            completionHandler:^(BOOL granted) {
                                              answer(granted == YES);
                                            }];
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
    CFDictionaryRef options =
        CFDictionaryCreate(kCFAllocatorDefault, keys, values, 1, &kCFTypeDictionaryKeyCallBacks,
                           &kCFTypeDictionaryValueCallBacks);
    const bool trusted = ::AXIsProcessTrustedWithOptions(options) != 0;
    if (options != nullptr) {
      CFRelease(options);
    }
    return trusted;
  }
};

}  // namespace

void RegisterAuthorization() {
  SetDefault<platform::AVCaptureDevice>(new FoundationCaptureDevice());
  SetDefault<AXTrust>(new ProcessTrust());
}

}  // namespace osxnatives::platform::macos
