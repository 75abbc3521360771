#include "input/plist_io.h"

#include "input/console.h"
#include "platform/ns_file_manager.h"
#include "platform/ns_property_list_serialization.h"

namespace osxnatives {

std::optional<std::filesystem::path> PlistIO::constructDirURL(
    const std::optional<std::string>& dir1, const std::optional<std::string>& dir2) {
  platform::PathResult support =
      platform::Get<platform::NSFileManager>().applicationSupportDirectory();
  if (!support.path) {
    PrintLine("ERROR: Unable to determine Application Support directory: " + support.error);
    return std::nullopt;
  }
  std::filesystem::path folder(*support.path);
  if (dir1) {
    folder /= *dir1;
  }
  if (dir2) {
    folder /= *dir2;
  }
  return folder;
}

std::shared_ptr<PlistIO> PlistIO::init(std::string_view plistFilename,
                                       const std::optional<std::string>& dir1,
                                       const std::optional<std::string>& dir2) {
  std::optional<std::filesystem::path> folder = constructDirURL(dir1, dir2);
  if (!folder) {
    PrintLine("ERROR: Unable to determine Application Support directory");
    return nullptr;
  }
  // A second try outlasts a passing fault (an I/O error, a full disk freed
  // meanwhile): without the folder nothing of the user's settings is saved.
  auto& files = platform::Get<platform::NSFileManager>();
  if (files.createDirectoryWithIntermediates(folder->string())) {
    if (auto error = files.createDirectoryWithIntermediates(folder->string())) {
      PrintLine("ERROR: " + *error);
      return nullptr;
    }
  }
  std::shared_ptr<PlistIO> io(new PlistIO());
  io->url_ = *folder / std::string(plistFilename);
  return io;
}

std::optional<PlistIO::Dictionary> PlistIO::read() {
  auto& files = platform::Get<platform::NSFileManager>();
  if (url_ && !files.fileExistsAtPath(url_->string())) {
    write(std::nullopt);
  }
  if (url_) {
    if (auto bytes = files.contentsOfOwnFileAtPath(url_->string())) {
      platform::PropertyListResult parsed =
          platform::Get<platform::NSPropertyListSerialization>().propertyListWithData(*bytes);
      if (parsed.plist && parsed.plist->is_object()) {
        return std::move(*parsed.plist);
      }
    }
  }
  PrintLine("ERROR: unable to read .plist file: " + (url_ ? FileURLText(*url_) : "nil"));
  return std::nullopt;
}

bool PlistIO::write(const std::optional<Dictionary>& dict) {
  const Dictionary contents = dict.value_or(Dictionary::object());
  if (!url_) {
    PrintLine("ERROR: URL is nil");
    return false;
  }
  const std::string xml =
      platform::Get<platform::NSPropertyListSerialization>().xmlDataWithPropertyList(
          contents.is_object() ? contents : Dictionary::object());
  if (platform::Get<platform::NSFileManager>().writeAtomically(url_->string(), xml)) {
    PrintLine("ERROR: Unable to write .plist file: " + FileURLText(*url_));
    return false;
  }
  return true;
}

std::string PlistIO::FileURLText(const std::filesystem::path& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text = "file://";
  for (const unsigned char c : path.string()) {
    const bool plain =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
        std::string_view("/-._~!$&'()*+,;=:@").find(static_cast<char>(c)) != std::string_view::npos;
    if (plain) {
      text.push_back(static_cast<char>(c));
    } else {
      text.push_back('%');
      text.push_back(kHex[c >> 4]);
      text.push_back(kHex[c & 15]);
    }
  }
  return text;
}

}  // namespace osxnatives
