// PlistIO: the settings file of the input lockdown, a property-list
// dictionary below the user's Application Support folder.
//
// It knows nothing of the keys. Each `read` and `write` transfers the whole
// file; no file stays open between calls. `write` replaces the file
// atomically (temporary file in the same folder, flushed, renamed), so a
// crash or power loss leaves the old file or the new one, never a part.
// Messages go to standard output.
//
// Example:
//   auto io = PlistIO::init("Settings.plist", "Trevant", "ExamHost");
//   if (io) io->write(nlohmann::json{{"HotKeys", "64,65"}});
#ifndef OSXNATIVES_INPUT_PLIST_IO_H_
#define OSXNATIVES_INPUT_PLIST_IO_H_

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace osxnatives {

class PlistIO {
 public:
  // A property-list dictionary: a JSON object in the form described at
  // platform::NSPropertyListSerialization.
  using Dictionary = nlohmann::json;

  // The folder Application Support/`dir1`/`dir2` (absent levels left out).
  // Creates nothing. Absent, after printing "ERROR: Unable to determine
  // Application Support directory: <error>", when the platform cannot say
  // where Application Support is.
  static std::optional<std::filesystem::path> constructDirURL(
      const std::optional<std::string>& dir1, const std::optional<std::string>& dir2);

  // Creates the folder of `constructDirURL(dir1, dir2)` with any missing
  // parents and returns an object whose `url` is `plistFilename` in it (the
  // file itself is not created). Null, after a printed "ERROR: " line, when
  // the folder cannot be determined or created.
  static std::shared_ptr<PlistIO> init(std::string_view plistFilename,
                                       const std::optional<std::string>& dir1,
                                       const std::optional<std::string>& dir2);

  virtual ~PlistIO() = default;

  // The settings file's path; absent only when set so.
  [[nodiscard]] const std::optional<std::filesystem::path>& url() const { return url_; }
  void setUrl(std::optional<std::filesystem::path> url) { url_ = std::move(url); }

  // The file's root dictionary, XML or binary. A missing file is first
  // written as an empty dictionary. Absent, after printing "ERROR: unable to
  // read .plist file: <URL>", when the file cannot be read (also when it is a
  // symbolic link, not a regular file, or larger than a settings file can
  // be) or its root is not a dictionary; the file is then left as it is.
  virtual std::optional<Dictionary> read();

  // Writes `dict` (an empty dictionary when absent) as an XML property list,
  // replacing the file atomically. False, after a printed "ERROR: " line, when
  // `url` is absent or the file cannot be written.
  virtual bool write(const std::optional<Dictionary>& dict);

  // `path` as a file URL text ("file:///…", with %-escapes), as messages show
  // it.
  static std::string FileURLText(const std::filesystem::path& path);

 protected:
  PlistIO() = default;

 private:
  std::optional<std::filesystem::path> url_;
};

}  // namespace osxnatives

#endif  // OSXNATIVES_INPUT_PLIST_IO_H_
