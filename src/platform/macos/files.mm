// NSFileManager and NSPropertyListSerialization on macOS. The file operations
// themselves are the hardened POSIX ones shared with Linux, reached through
// the POSIX backend's file manager; only the two folders come from
// Foundation.
#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#import <Foundation/Foundation.h>

#include "platform/macos/cf_json.h"
#include "platform/macos/services.h"
#include "platform/ns_file_manager.h"
#include "platform/ns_property_list_serialization.h"
#include "platform/posix/services.h"
#include "platform/registry.h"

// Our interfaces carry the Foundation class names; these aliases name the
// Foundation classes inside our namespace.
using FoundationFileManagerClass = NSFileManager;
using FoundationPropertyListClass = NSPropertyListSerialization;

namespace osxnatives::platform::macos {
namespace {

constexpr char kNotAPropertyList[] =
    "The data couldn't be read because it isn't in the correct format.";

std::string Describe(NSError* error, const char* fallback) {
  NSString* text = error.localizedDescription;
  return text != nil ? Utf8FromCFString((__bridge CFStringRef)text) : fallback;
}

class FoundationFileManager : public platform::NSFileManager {
 public:
  explicit FoundationFileManager(platform::NSFileManager& files) : files_(files) {}

  std::string NSHomeDirectory() override {
    @autoreleasepool {
      return Utf8FromCFString((__bridge CFStringRef)::NSHomeDirectory());
    }
  }

  PathResult applicationSupportDirectory() override {
    @autoreleasepool {
      NSError* error = nil;
      NSURL* url =
          [[FoundationFileManagerClass defaultManager] URLForDirectory:NSApplicationSupportDirectory
                                                              inDomain:NSUserDomainMask
                                                     appropriateForURL:nil
                                                                create:NO
                                                                 error:&error];
      if (url == nil || url.path == nil) {
        return {std::nullopt,
                Describe(error, "The Application Support folder could not be determined.")};
      }
      return {Utf8FromCFString((__bridge CFStringRef)url.path), ""};
    }
  }

  std::optional<std::string> createDirectoryWithIntermediates(const std::string& path) override {
    return files_.createDirectoryWithIntermediates(path);
  }
  bool fileExistsAtPath(const std::string& path) override { return files_.fileExistsAtPath(path); }
  bool checkResourceIsReachable(const std::string& path) override {
    return files_.checkResourceIsReachable(path);
  }
  std::optional<std::string> contentsAtPath(const std::string& path) override {
    return files_.contentsAtPath(path);
  }
  std::optional<std::string> contentsOfOwnFileAtPath(const std::string& path) override {
    return files_.contentsOfOwnFileAtPath(path);
  }
  std::vector<std::string> contentsOfDirectoryAtPath(const std::string& path) override {
    return files_.contentsOfDirectoryAtPath(path);
  }
  std::optional<std::string> writeAtomically(const std::string& path,
                                             std::string_view contents) override {
    return files_.writeAtomically(path, contents);
  }
  std::optional<std::string> removeItemAtPath(const std::string& path) override {
    return files_.removeItemAtPath(path);
  }

 private:
  platform::NSFileManager& files_;  // The POSIX backend's; lives until the process ends.
};

class FoundationPropertyLists : public platform::NSPropertyListSerialization {
 public:
  PropertyListResult propertyListWithData(std::string_view data) override {
    @autoreleasepool {
      // Foundation never writes through the pointer of a data object that
      // does not free its bytes.
      NSData* bytes = [NSData dataWithBytesNoCopy:const_cast<char*>(data.data())
                                           length:data.size()
                                     freeWhenDone:NO];
      NSPropertyListFormat format = NSPropertyListXMLFormat_v1_0;
      NSError* error = nil;
      id root = [FoundationPropertyListClass propertyListWithData:bytes
                                                          options:NSPropertyListImmutable
                                                           format:&format
                                                            error:&error];
      if (root == nil) {
        return {std::nullopt, Describe(error, kNotAPropertyList)};
      }
      // Foundation also reads the old text format, in which almost any text
      // is a string; settings files are XML or binary only.
      if (format == NSPropertyListOpenStepFormat) {
        return {std::nullopt, kNotAPropertyList};
      }
      return {JsonFromPropertyList((__bridge CFTypeRef)root), ""};
    }
  }

  std::string xmlDataWithPropertyList(const nlohmann::json& plist) override {
    @autoreleasepool {
      id root = CFBridgingRelease(CreatePropertyListFromJson(plist));
      if (root == nil) {
        return "";
      }
      NSData* xml = [FoundationPropertyListClass dataWithPropertyList:root
                                                               format:NSPropertyListXMLFormat_v1_0
                                                              options:0
                                                                error:nil];
      if (xml == nil) {
        return "";
      }
      return {static_cast<const char*>(xml.bytes), xml.length};
    }
  }
};

}  // namespace

void RegisterFiles() {
  SetDefault<platform::NSFileManager>(new FoundationFileManager(PosixNSFileManager()));
  SetDefault<platform::NSPropertyListSerialization>(new FoundationPropertyLists());
}

}  // namespace osxnatives::platform::macos
