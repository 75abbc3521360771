// A fresh temporary folder, removed with everything in it on destruction.
#ifndef OSXNATIVES_TESTS_SUPPORT_TEMP_DIR_H_
#define OSXNATIVES_TESTS_SUPPORT_TEMP_DIR_H_

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace osxnatives::testing {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "osxnatives-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Writes `contents` to `name` below the folder (creating parents) and
  // returns the full path.
  std::filesystem::path Write(const std::string& name, const std::string& contents) const {
    std::filesystem::path file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << contents;
    return file;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace osxnatives::testing

#endif  // OSXNATIVES_TESTS_SUPPORT_TEMP_DIR_H_
