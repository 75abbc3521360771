// AutomaticAssessmentConfiguration on macOS: AEAssessmentSession and its
// delegate.
//
// The framework is linked weakly: macOS 10.15.0 to 10.15.3 have none and
// still load the library, and every class is found by name at run time. The
// build's SDK (11.3) lacks the macOS 12 and 15 parts of the API, so every
// call goes to an object typed `id` after a respondsToSelector: check; the
// private protocol below only tells the compiler (and ARC, for the init
// methods) what those selectors take and return. It is never adopted.
//
// The system calls the delegate on the main thread; our delegate forwards
// each callback to the C++ delegate right there.
#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#import <Foundation/Foundation.h>
#include <objc/runtime.h>

#include <memory>
#include <string>
#include <utility>

#include "platform/ae_assessment_session.h"
#include "platform/macos/objc_support.h"
#include "platform/macos/services.h"
#include "platform/registry.h"

// The selectors of AEAssessmentSession, AEAssessmentConfiguration,
// AEAssessmentApplication and AEAssessmentParticipantConfiguration this file
// sends, with the types of the macOS 15.1 SDK.
@protocol OSXNAssessmentSelectors <NSObject>
- (instancetype)initWithConfiguration:(id)configuration;
- (instancetype)initWithBundleIdentifier:(NSString*)bundleIdentifier
                          teamIdentifier:(NSString*)teamIdentifier;
- (void)setDelegate:(id)delegate;
- (void)begin;
- (void)end;
- (void)updateToConfiguration:(id)configuration;
- (BOOL)isActive;
+ (BOOL)supportsMultipleParticipants;
+ (BOOL)supportsConfigurationUpdates;
- (id)mainParticipantConfiguration;
- (void)setConfiguration:(id)configuration forApplication:(id)application;
- (void)setAllowsNetworkAccess:(BOOL)allowsNetworkAccess;
- (void)setRequiresSignatureValidation:(BOOL)requiresSignatureValidation;
- (void)setAutocorrectMode:(NSUInteger)autocorrectMode;
- (void)setAllowsSpellCheck:(BOOL)allowsSpellCheck;
- (void)setAllowsPredictiveKeyboard:(BOOL)allowsPredictiveKeyboard;
- (void)setAllowsKeyboardShortcuts:(BOOL)allowsKeyboardShortcuts;
@end

namespace osxnatives::platform::macos {
namespace {

using CppDelegate = ::osxnatives::platform::AEAssessmentSessionDelegate;
using CppError = ::osxnatives::platform::NSError;

CppError ErrorFromFoundation(::NSError* error) {
  CppError converted;
  if (error == nil) return converted;
  converted.domain = UTF8FromString(error.domain);
  converted.code = static_cast<int64_t>(error.code);
  converted.localizedDescription = UTF8FromString(error.localizedDescription);
  return converted;
}

// Runs one delegate callback: no Objective-C autorelease or C++ exception
// leaves it for the system's frames.
template <typename Call>
void Deliver(Call&& call) {
  @autoreleasepool {
    try {
      call();
    } catch (...) {  // NOLINT(bugprone-empty-catch): the main thread must go on.
    }
  }
}

}  // namespace
}  // namespace osxnatives::platform::macos

// Forwards the session's delegate callbacks to one C++ delegate. The session
// holds its delegate weakly; the session keeps this object alive through an
// associated reference.
@interface OSXNAssessmentSessionDelegate : NSObject
- (instancetype)initWithDelegate:
    (std::shared_ptr<osxnatives::platform::macos::CppDelegate>)delegate;
@end

@implementation OSXNAssessmentSessionDelegate {
  std::shared_ptr<osxnatives::platform::macos::CppDelegate> _delegate;
}

- (instancetype)initWithDelegate:
    (std::shared_ptr<osxnatives::platform::macos::CppDelegate>)delegate {
  if ((self = [super init])) {
    _delegate = std::move(delegate);
  }
  return self;
}

// The C++ delegate may drop the last reference to the session (and so to
// this object) while it runs; both stay alive until the callback returns.
- (void)assessmentSessionDidBegin:(id)session {
  id keepSession __attribute__((objc_precise_lifetime)) = session;
  OSXNAssessmentSessionDelegate* keepSelf __attribute__((objc_precise_lifetime)) = self;
  std::shared_ptr<osxnatives::platform::macos::CppDelegate> delegate = _delegate;
  osxnatives::platform::macos::Deliver([&] { delegate->assessmentSessionDidBegin(); });
}

- (void)assessmentSession:(id)session failedToBeginWithError:(::NSError*)error {
  id keepSession __attribute__((objc_precise_lifetime)) = session;
  OSXNAssessmentSessionDelegate* keepSelf __attribute__((objc_precise_lifetime)) = self;
  std::shared_ptr<osxnatives::platform::macos::CppDelegate> delegate = _delegate;
  osxnatives::platform::macos::Deliver([&] {
    delegate->assessmentSessionFailedToBeginWithError(
        osxnatives::platform::macos::ErrorFromFoundation(error));
  });
}

- (void)assessmentSession:(id)session wasInterruptedWithError:(::NSError*)error {
  id keepSession __attribute__((objc_precise_lifetime)) = session;
  OSXNAssessmentSessionDelegate* keepSelf __attribute__((objc_precise_lifetime)) = self;
  std::shared_ptr<osxnatives::platform::macos::CppDelegate> delegate = _delegate;
  osxnatives::platform::macos::Deliver([&] {
    delegate->assessmentSessionWasInterruptedWithError(
        osxnatives::platform::macos::ErrorFromFoundation(error));
  });
}

- (void)assessmentSessionDidEnd:(id)session {
  id keepSession __attribute__((objc_precise_lifetime)) = session;
  OSXNAssessmentSessionDelegate* keepSelf __attribute__((objc_precise_lifetime)) = self;
  std::shared_ptr<osxnatives::platform::macos::CppDelegate> delegate = _delegate;
  osxnatives::platform::macos::Deliver([&] { delegate->assessmentSessionDidEnd(); });
}

- (void)assessmentSessionDidUpdate:(id)session {
  id keepSession __attribute__((objc_precise_lifetime)) = session;
  OSXNAssessmentSessionDelegate* keepSelf __attribute__((objc_precise_lifetime)) = self;
  std::shared_ptr<osxnatives::platform::macos::CppDelegate> delegate = _delegate;
  osxnatives::platform::macos::Deliver([&] { delegate->assessmentSessionDidUpdate(); });
}

- (void)assessmentSession:(id)session
    failedToUpdateToConfiguration:(id)configuration
                            error:(::NSError*)error {
  id keepSession __attribute__((objc_precise_lifetime)) = session;
  OSXNAssessmentSessionDelegate* keepSelf __attribute__((objc_precise_lifetime)) = self;
  std::shared_ptr<osxnatives::platform::macos::CppDelegate> delegate = _delegate;
  osxnatives::platform::macos::Deliver([&] {
    delegate->assessmentSessionFailedToUpdateWithError(
        osxnatives::platform::macos::ErrorFromFoundation(error));
  });
}

@end

namespace osxnatives::platform::macos {
namespace {

// The key of the associated reference from a session to its delegate.
char kDelegateKey;

bool AtLeast(NSInteger major, NSInteger minor) {
  const ::NSOperatingSystemVersion version{major, minor, 0};
  return [[NSProcessInfo processInfo] isOperatingSystemAtLeastVersion:version];
}

// +supportsMultipleParticipants and +supportsConfigurationUpdates (macOS
// 14.5); false where the class does not answer them.
bool SupportsMultipleParticipants(Class<OSXNAssessmentSelectors> type) {
  return [type respondsToSelector:@selector(supportsMultipleParticipants)] &&
         [type supportsMultipleParticipants];
}

bool SupportsConfigurationUpdates(Class<OSXNAssessmentSelectors> type) {
  return [type respondsToSelector:@selector(supportsConfigurationUpdates)] &&
         [type supportsConfigurationUpdates];
}

bool InstancesRespond(Class type, NSArray<NSString*>* names) {
  if (type == nil) return false;
  for (NSString* name in names) {
    if (![type instancesRespondToSelector:NSSelectorFromString(name)]) return false;
  }
  return true;
}

AEAssessmentCapabilities Capabilities() {
  @autoreleasepool {
    AEAssessmentCapabilities capabilities;
    Class session_class = NSClassFromString(@"AEAssessmentSession");
    Class configuration_class = NSClassFromString(@"AEAssessmentConfiguration");
    if (session_class == nil || configuration_class == nil) {
      capabilities.unavailableReason =
          "AutomaticAssessmentConfiguration needs macOS 10.15.4 or later; this Mac runs " +
          UTF8FromString([[NSProcessInfo processInfo] operatingSystemVersionString]);
      return capabilities;
    }
    capabilities.frameworkAvailable = true;
    capabilities.supportsApplications =
        AtLeast(12, 0) && NSClassFromString(@"AEAssessmentApplication") != nil &&
        InstancesRespond(
            NSClassFromString(@"AEAssessmentApplication"),
            @[ @"initWithBundleIdentifier:teamIdentifier:", @"setRequiresSignatureValidation:" ]) &&
        InstancesRespond(NSClassFromString(@"AEAssessmentParticipantConfiguration"),
                         @[ @"setAllowsNetworkAccess:" ]) &&
        InstancesRespond(configuration_class,
                         @[ @"mainParticipantConfiguration", @"setConfiguration:forApplication:" ]);
    capabilities.supportsMultipleParticipants = SupportsMultipleParticipants(session_class);
    capabilities.supportsConfigurationUpdates = SupportsConfigurationUpdates(session_class);
    capabilities.supportsKeyboardOptions =
        AtLeast(15, 0) && InstancesRespond(configuration_class, @[
          @"setAutocorrectMode:", @"setAllowsSpellCheck:", @"setAllowsPredictiveKeyboard:",
          @"setAllowsKeyboardShortcuts:"
        ]);
    return capabilities;
  }
}

// A new AEAssessmentConfiguration holding what `capabilities` allow of
// `configuration`. Nil when the class is missing or an object cannot be made.
id MakeConfiguration(const AEAssessmentConfiguration& configuration,
                     const AEAssessmentCapabilities& capabilities) {
  Class configuration_class = NSClassFromString(@"AEAssessmentConfiguration");
  if (configuration_class == nil) return nil;
  id<OSXNAssessmentSelectors> result = [[configuration_class alloc] init];
  if (result == nil) return nil;
  if (capabilities.supportsApplications) {
    if (configuration.mainParticipantAllowsNetworkAccess) {
      id<OSXNAssessmentSelectors> main = [result mainParticipantConfiguration];
      [main setAllowsNetworkAccess:*configuration.mainParticipantAllowsNetworkAccess ? YES : NO];
    }
    Class application_class = NSClassFromString(@"AEAssessmentApplication");
    Class participant_class = NSClassFromString(@"AEAssessmentParticipantConfiguration");
    for (const auto& allowed : configuration.applications) {
      NSString* bundle = StringFromUTF8(allowed.application.bundleIdentifier);
      NSString* team = allowed.application.teamIdentifier
                           ? StringFromUTF8(*allowed.application.teamIdentifier)
                           : nil;
      if (bundle == nil || (allowed.application.teamIdentifier && team == nil)) return nil;
      id<OSXNAssessmentSelectors> application =
          [[application_class alloc] initWithBundleIdentifier:bundle teamIdentifier:team];
      id<OSXNAssessmentSelectors> participant = [[participant_class alloc] init];
      if (application == nil || participant == nil) return nil;
      [application setRequiresSignatureValidation:allowed.application.requiresSignatureValidation
                                                      ? YES
                                                      : NO];
      [participant setAllowsNetworkAccess:allowed.configuration.allowsNetworkAccess ? YES : NO];
      [result setConfiguration:participant forApplication:application];
    }
  }
  if (capabilities.supportsKeyboardOptions) {
    if (configuration.autocorrectMode) {
      [result setAutocorrectMode:static_cast<NSUInteger>(*configuration.autocorrectMode)];
    }
    if (configuration.allowsSpellCheck) {
      [result setAllowsSpellCheck:*configuration.allowsSpellCheck ? YES : NO];
    }
    if (configuration.allowsPredictiveKeyboard) {
      [result setAllowsPredictiveKeyboard:*configuration.allowsPredictiveKeyboard ? YES : NO];
    }
    if (configuration.allowsKeyboardShortcuts) {
      [result setAllowsKeyboardShortcuts:*configuration.allowsKeyboardShortcuts ? YES : NO];
    }
  }
  return result;
}

class MacSession : public AEAssessmentSession {
 public:
  explicit MacSession(id<OSXNAssessmentSelectors> session) : session_(session) {}

  // The framework documents no exceptions; one raised anyway ends here, in
  // the system log, rather than in the JVM.
  void begin() override {
    @autoreleasepool {
      @try {
        [session_ begin];
      } @catch (NSException* exception) {
        ::NSLog(@"AEAssessmentSession begin raised %@: %@", exception.name, exception.reason);
      }
    }
  }

  void end() override {
    @autoreleasepool {
      @try {
        [session_ end];
      } @catch (NSException* exception) {
        ::NSLog(@"AEAssessmentSession end raised %@: %@", exception.name, exception.reason);
      }
    }
  }

  bool updateToConfiguration(const AEAssessmentConfiguration& configuration) override {
    @autoreleasepool {
      if (![session_ respondsToSelector:@selector(updateToConfiguration:)]) return false;
      @try {
        id updated = MakeConfiguration(configuration, Capabilities());
        if (updated == nil) return false;
        [session_ updateToConfiguration:updated];
        return true;
      } @catch (NSException* exception) {
        ::NSLog(@"AEAssessmentSession update raised %@: %@", exception.name, exception.reason);
        return false;
      }
    }
  }

  bool isActive() override {
    @autoreleasepool {
      return [session_ respondsToSelector:@selector(isActive)] && [session_ isActive];
    }
  }

 private:
  id<OSXNAssessmentSelectors> session_;
};

class MacAssessment : public AEAssessment {
 public:
  AEAssessmentCapabilities capabilities() override { return Capabilities(); }

  std::unique_ptr<AEAssessmentSession> makeSession(
      const AEAssessmentConfiguration& configuration,
      std::shared_ptr<AEAssessmentSessionDelegate> delegate) override {
    @autoreleasepool {
      const AEAssessmentCapabilities capabilities = Capabilities();
      Class session_class = NSClassFromString(@"AEAssessmentSession");
      if (!capabilities.frameworkAvailable || session_class == nil || delegate == nullptr) {
        return nullptr;
      }
      id<OSXNAssessmentSelectors> session = nil;
      @try {
        id apple_configuration = MakeConfiguration(configuration, capabilities);
        if (apple_configuration == nil) return nullptr;
        session = [[session_class alloc] initWithConfiguration:apple_configuration];
      } @catch (NSException* exception) {
        ::NSLog(@"AEAssessmentSession could not be made: %@: %@", exception.name, exception.reason);
        return nullptr;
      }
      if (session == nil) return nullptr;
      OSXNAssessmentSessionDelegate* forwarder =
          [[OSXNAssessmentSessionDelegate alloc] initWithDelegate:std::move(delegate)];
      objc_setAssociatedObject(session, &kDelegateKey, forwarder,
                               OBJC_ASSOCIATION_RETAIN_NONATOMIC);
      [session setDelegate:forwarder];
      return std::make_unique<MacSession>(session);
    }
  }
};

}  // namespace

void RegisterAssessment() {
  static auto* const assessment = new MacAssessment();
  SetDefault<platform::AEAssessment>(assessment);
}

}  // namespace osxnatives::platform::macos
