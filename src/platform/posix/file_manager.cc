// NSHomeDirectory and NSFileManager with POSIX calls: $HOME (or the password
// database), "$HOME/Library/Application Support", and POSIX file calls, each
// made through PosixFileCalls.
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
#include "platform/posix/file_calls.h"
#include "platform/posix/services.h"

namespace osxnatives::platform {
namespace {

PosixFileCalls& Calls() { return Get<PosixFileCalls>(); }

std::string ErrnoText(const std::string& what, const std::string& path, int error) {
  return what + " \"" + path + "\": " + std::strerror(error);
}

// Closes a descriptor on scope exit.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) {
      Calls().Close(fd_);
    }
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  [[nodiscard]] int get() const { return fd_; }
  // Closes now and reports close's own failure (a late write error).
  int Close() {
    const int result = Calls().Close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

// The whole regular file at `path`, at most `limit` bytes; nullopt for
// anything else. O_NONBLOCK keeps a FIFO or a device from blocking the open or
// the read; the descriptor is checked before the first read.
std::optional<std::string> ReadRegularFile(const std::string& path, int flags, size_t limit) {
  Descriptor fd(Calls().Open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | flags, 0));
  if (fd.get() < 0) {
    return std::nullopt;
  }
  struct stat info {};
  if (Calls().Fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<uint64_t>(info.st_size) > limit) {
    return std::nullopt;
  }
  std::string contents;
  char buffer[65536];
  for (;;) {
    const ssize_t got = Calls().Read(fd.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return std::nullopt;
    }
    if (got == 0) {
      return contents;
    }
    contents.append(buffer, static_cast<size_t>(got));
    if (contents.size() > limit) {  // grew while being read
      return std::nullopt;
    }
  }
}

// Writes all of `data`, continuing after short writes.
bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = Calls().Write(fd, data.data(), data.size());
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

// An error when something other than a regular file is at `path`.
std::optional<std::string> RefuseUnlessRegularOrAbsent(const std::string& path) {
  struct stat info {};
  if (Calls().Lstat(path.c_str(), &info) != 0) {
    return errno == ENOENT ? std::nullopt
                           : std::optional<std::string>(ErrnoText("Could not check", path, errno));
  }
  if (!S_ISREG(info.st_mode)) {
    return "Will not replace \"" + path + "\": it is not a regular file";
  }
  return std::nullopt;
}

// Makes the names in `folder` durable: a rename or an unlink in it survives a
// power loss once this returns. Its failure is not reported: the change is
// made and visible, it may only be undone by a power loss in the next moments,
// and an undone change leaves the state from before it, which every reader
// handles.
void SyncFolder(const std::filesystem::path& folder) {
  Descriptor dir(Calls().Open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
  if (dir.get() >= 0) {
    Calls().Sync(dir.get());
  }
}

std::filesystem::path FolderOf(const std::filesystem::path& file) {
  return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
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

  // Each missing level is made in turn, from the outermost; a level that
  // appears meanwhile (EEXIST) is fine if it is a folder.
  std::optional<std::string> createDirectoryWithIntermediates(const std::string& path) override {
    std::filesystem::path made;
    for (const std::filesystem::path& level : std::filesystem::path(path)) {
      made /= level;
      struct stat info {};
      if (Calls().Stat(made.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
          continue;
        }
        return "Could not create folder \"" + path + "\": a file of that name exists";
      }
      if (errno != ENOENT) {
        return ErrnoText("Could not create folder", path, errno);
      }
      if (Calls().Mkdir(made.c_str(), 0777) != 0 && errno != EEXIST) {
        return ErrnoText("Could not create folder", path, errno);
      }
      if (Calls().Stat(made.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return "Could not create folder \"" + path + "\": a file of that name exists";
      }
    }
    return std::nullopt;
  }

  bool fileExistsAtPath(const std::string& path) override {
    struct stat info {};
    return Calls().Stat(path.c_str(), &info) == 0;
  }

  bool checkResourceIsReachable(const std::string& path) override { return fileExistsAtPath(path); }

  std::optional<std::string> contentsAtPath(const std::string& path) override {
    return ReadRegularFile(path, 0, kMaxContentsBytes);
  }

  std::optional<std::string> contentsOfOwnFileAtPath(const std::string& path) override {
    return ReadRegularFile(path, O_NOFOLLOW, kMaxOwnFileBytes);
  }

  std::vector<std::string> contentsOfDirectoryAtPath(const std::string& path) override {
    std::vector<std::string> names;
    if (Calls().ListDirectory(path.c_str(), &names) != 0) {
      names.clear();
    }
    return names;
  }

  // The order of writes and syncs, and what a crash or power loss after each
  // step leaves at `path` and beside it (".<name>.XXXXXX" is the temporary
  // file):
  //
  //   1. lstat(path): anything but a regular file or nothing is refused.
  //   2. mkostemp(".<name>.XXXXXX", O_EXCL) in the same folder: a new, empty
  //      temporary file; a link planted under that name is never followed.
  //   3. fchmod 0644, then write every byte (short writes are continued).
  //      A crash during 2-3 leaves a temporary file that is empty, partial or
  //      (a process killed after its last write) complete; a partial one does
  //      not parse as a property list, or lacks what makes a copy of the
  //      settings complete, so no reader takes it for the file.
  //   4. SyncFileToStorage(temporary): the content is on the storage (macOS:
  //      F_FULLFSYNC; fsync does not flush the drive's cache there). It is
  //      durable before any name points at it: from here even a power loss
  //      leaves a complete temporary file beside the old `path`.
  //   5. close; lstat(path) again, refusing a link planted meanwhile.
  //   6. rename(temporary, path): atomic within the folder; `path` is the old
  //      file or the complete new one, never a part of either.
  //   7. SyncFileToStorage(folder): the rename itself is on the storage. Until
  //      then a power loss may bring back the old `path` (and the temporary
  //      file) as they were after step 5.
  //
  // A failure in steps 1-6 removes the temporary file, leaves `path` as it
  // was and returns the error. A failure of step 7 is not reported (see
  // SyncFolder): the new file is in place.
  std::optional<std::string> writeAtomically(const std::string& path,
                                             std::string_view contents) override {
    if (auto refused = RefuseUnlessRegularOrAbsent(path)) {
      return refused;
    }
    const std::filesystem::path target(path);
    const std::filesystem::path folder = FolderOf(target);
    // Appended piece by piece: `"." + name` trips a false -Wrestrict in GCC 12 at -O3.
    std::string name = ".";
    name += target.filename().string();
    name += ".XXXXXX";
    std::string temporary = (folder / name).string();
    Descriptor fd(Calls().MakeTemporary(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0) {
      return ErrnoText("Could not create a file in", folder.string(), errno);
    }
    auto fail = [&](const char* what) {
      const int error = errno;
      Calls().Unlink(temporary.c_str());
      return ErrnoText(what, path, error);
    };
    if (Calls().Fchmod(fd.get(), 0644) != 0) {
      return fail("Could not set the permissions of");
    }
    if (!WriteAll(fd.get(), contents)) {
      return fail("Could not write");
    }
    if (Calls().Sync(fd.get()) != 0) {
      return fail("Could not flush");
    }
    if (fd.Close() != 0) {
      return fail("Could not write");
    }
    if (auto refused = RefuseUnlessRegularOrAbsent(path)) {  // planted meanwhile
      Calls().Unlink(temporary.c_str());
      return refused;
    }
    if (Calls().Rename(temporary.c_str(), path.c_str()) != 0) {
      return fail("Could not replace");
    }
    SyncFolder(folder);
    return std::nullopt;
  }

  // The removal is synced like a rename, so that files removed one after the
  // other stay removed in that order after a power loss.
  std::optional<std::string> removeItemAtPath(const std::string& path) override {
    if (Calls().Unlink(path.c_str()) != 0) {
      return ErrnoText("Could not remove", path, errno);
    }
    SyncFolder(FolderOf(path));
    return std::nullopt;
  }
};

}  // namespace

NSFileManager& PosixNSFileManager() {
  static auto* const manager = new PosixFileManager();
  return *manager;
}

}  // namespace osxnatives::platform
