// NSHomeDirectory and NSFileManager with POSIX calls: $HOME (or the password
// database), "$HOME/Library/Application Support", and POSIX file calls.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/ns_file_manager.h"
#include "platform/posix/services.h"

namespace osxnatives::platform {
namespace {

std::string ErrnoText(const std::string& what, const std::string& path, int error) {
  return what + " \"" + path + "\": " + std::strerror(error);
}

// Closes a descriptor on scope exit.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) {
      close(fd_);
    }
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  [[nodiscard]] int get() const { return fd_; }
  // Closes now and reports close's own failure (a late write error).
  int Close() {
    const int result = close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    data.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

class PosixFileManager : public NSFileManager {
 public:
  std::string NSHomeDirectory() override {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
      return home;
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
      return found->pw_dir;
    }
    return "";
  }

  PathResult applicationSupportDirectory() override {
    const std::string home = NSHomeDirectory();
    if (home.empty()) {
      return {std::nullopt, "The user's home folder could not be determined."};
    }
    return {(std::filesystem::path(home) / "Library" / "Application Support").string(), ""};
  }

  std::optional<std::string> createDirectoryWithIntermediates(const std::string& path) override {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error) {
      return "Could not create folder \"" + path + "\": " + error.message();
    }
    if (!std::filesystem::is_directory(path, error)) {
      return "Could not create folder \"" + path + "\": a file of that name exists";
    }
    return std::nullopt;
  }

  bool fileExistsAtPath(const std::string& path) override {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
  }

  bool checkResourceIsReachable(const std::string& path) override { return fileExistsAtPath(path); }

  std::optional<std::string> contentsAtPath(const std::string& path) override {
    Descriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
      return std::nullopt;
    }
    std::string contents;
    char buffer[65536];
    for (;;) {
      const ssize_t got = read(fd.get(), buffer, sizeof buffer);
      if (got < 0) {
        if (errno == EINTR) {
          continue;
        }
        return std::nullopt;
      }
      if (got == 0) {
        break;
      }
      contents.append(buffer, static_cast<size_t>(got));
    }
    return contents;
  }

  // Writes a temporary file in the same folder, flushes it to the disk, and
  // renames it over the target; rename is atomic within one file system. The
  // folder is flushed too, so that the new name survives a power loss.
  std::optional<std::string> writeAtomically(const std::string& path,
                                             std::string_view contents) override {
    const std::filesystem::path target(path);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    Descriptor fd(mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0) {
      return ErrnoText("Could not create a file in", folder.string(), errno);
    }
    auto fail = [&](const char* what) {
      const int error = errno;
      unlink(temporary.c_str());
      return ErrnoText(what, path, error);
    };
    if (fchmod(fd.get(), 0644) != 0) {
      return fail("Could not set the permissions of");
    }
    if (!WriteAll(fd.get(), contents)) {
      return fail("Could not write");
    }
    if (fsync(fd.get()) != 0) {
      return fail("Could not flush");
    }
    if (fd.Close() != 0) {
      return fail("Could not write");
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
      return fail("Could not replace");
    }
    Descriptor dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
      fsync(dir.get());
    }
    return std::nullopt;
  }

  std::optional<std::string> removeItemAtPath(const std::string& path) override {
    if (unlink(path.c_str()) != 0) {
      return ErrnoText("Could not remove", path, errno);
    }
    return std::nullopt;
  }
};

}  // namespace

NSFileManager& PosixNSFileManager() {
  static auto* const manager = new PosixFileManager();
  return *manager;
}

}  // namespace osxnatives::platform
