// Faults at chosen points of the settings code: the file system calls under
// the POSIX file manager and folder lock (PosixFileCalls), and the private
// hot key and corner functions of the simulated desktop.
//
// FaultyFileCalls makes the Nth call of one kind of fault fail (and counts
// the calls that kind applies to, so a test can walk N over all of them).
// KillPoint ends the process with SIGKILL at its Kth step, a step being any
// file call or any hot key or corner change; tests use it in forked children.
#ifndef OSXNATIVES_TESTS_SUPPORT_FAULT_INJECTION_H_
#define OSXNATIVES_TESTS_SUPPORT_FAULT_INJECTION_H_

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/cf_bundle.h"
#include "platform/posix/file_calls.h"
#include "platform/posix/services.h"

namespace osxnatives::testing {

enum class Fault { kNoSpace, kIoError, kNoAccess, kShortWrite, kFailedRename, kFailedSync };

inline const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::kNoSpace:
      return "ENOSPC";
    case Fault::kIoError:
      return "EIO";
    case Fault::kNoAccess:
      return "EACCES";
    case Fault::kShortWrite:
      return "short write";
    case Fault::kFailedRename:
      return "failed rename";
    case Fault::kFailedSync:
      return "failed fsync";
  }
  return "";
}

inline constexpr Fault kEveryFault[] = {Fault::kNoSpace,      Fault::kIoError,
                                        Fault::kNoAccess,     Fault::kShortWrite,
                                        Fault::kFailedRename, Fault::kFailedSync};

// Counts steps; the step numbered `killAt` (from 1) ends the process before
// it happens. 0 never kills.
class KillPoint {
 public:
  explicit KillPoint(int killAt = 0) : killAt_(killAt) {}
  void Step() {
    if (++steps_ == killAt_) raise(SIGKILL);
  }
  int steps() const { return steps_; }

 private:
  int killAt_;
  int steps_ = 0;
};

// The real calls, with one fault. Every call that changes the disk is checked
// against `allowed` (the settings folder and the folders above it that may be
// created); the others are collected in `outside()`.
class FaultyFileCalls : public platform::PosixFileCalls {
  enum Op {
    kOpen,
    kCreateOpen,
    kTemp,
    kMeta,
    kRead,
    kWrite,
    kSync,
    kClose,
    kRename,
    kUnlink,
    kMkdir,
    kList
  };

 public:
  // Fails the `failAt`-th call (from 1) that `fault` applies to; 0 fails none.
  FaultyFileCalls(Fault fault, int failAt, std::filesystem::path allowed = {},
                  KillPoint* kill = nullptr)
      : fault_(fault), failAt_(failAt), allowed_(std::move(allowed)), kill_(kill) {}

  int points() const { return points_; }  // calls the fault applies to, so far
  bool fired() const { return failAt_ > 0 && points_ >= failAt_; }
  const std::vector<std::string>& outside() const { return outside_; }
  // The failed call, as "<call> <errno>", empty until it fails.
  const std::string& failed() const { return failed_; }

  int Open(const char* path, int flags, mode_t mode) override {
    const bool creates = (flags & O_CREAT) != 0;
    if (creates) Changes(path);
    return Fail(creates ? kCreateOpen : kOpen) ? -1 : real().Open(path, flags, mode);
  }
  int MakeTemporary(char* pathTemplate, int flags) override {
    Changes(pathTemplate);
    return Fail(kTemp) ? -1 : real().MakeTemporary(pathTemplate, flags);
  }
  int Fchmod(int fd, mode_t mode) override { return Fail(kMeta) ? -1 : real().Fchmod(fd, mode); }
  int Fstat(int fd, struct stat* info) override {
    return Fail(kMeta) ? -1 : real().Fstat(fd, info);
  }
  int Lstat(const char* path, struct stat* info) override {
    return Fail(kMeta) ? -1 : real().Lstat(path, info);
  }
  int Stat(const char* path, struct stat* info) override {
    return Fail(kMeta) ? -1 : real().Stat(path, info);
  }
  ssize_t Read(int fd, void* buffer, size_t size) override {
    return Fail(kRead) ? -1 : real().Read(fd, buffer, size);
  }
  ssize_t Write(int fd, const void* data, size_t size) override {
    if (Fail(kWrite)) return -1;
    if (shortWrite_) {
      shortWrite_ = false;
      return real().Write(fd, data, std::max<size_t>(1, size / 2));
    }
    return real().Write(fd, data, size);
  }
  // Counted, never made: the tests end processes, not the machine's power,
  // and a real flush per write would make the runs slow.
  int Sync(int /*fd*/) override { return Fail(kSync) ? -1 : 0; }
  int Close(int fd) override {
    const bool fail = Fail(kClose);
    const int result = real().Close(fd);  // the descriptor is gone either way, as in POSIX
    return fail ? -1 : result;
  }
  int Rename(const char* from, const char* to) override {
    Changes(to);
    return Fail(kRename) ? -1 : real().Rename(from, to);
  }
  int Unlink(const char* path) override {
    Changes(path);
    return Fail(kUnlink) ? -1 : real().Unlink(path);
  }
  int Mkdir(const char* path, mode_t mode) override {
    Changes(path);
    return Fail(kMkdir) ? -1 : real().Mkdir(path, mode);
  }
  int ListDirectory(const char* path, std::vector<std::string>* names) override {
    return Fail(kList) ? -1 : real().ListDirectory(path, names);
  }

 private:
  static platform::PosixFileCalls& real() { return platform::PosixSystemFileCalls(); }

  // The errno `fault_` gives `op`, 0 when it does not apply to it.
  int ErrorFor(Op op) const {
    switch (fault_) {
      case Fault::kNoSpace:
        return op == kCreateOpen || op == kTemp || op == kWrite || op == kSync || op == kClose ||
                       op == kRename || op == kMkdir
                   ? ENOSPC
                   : 0;
      case Fault::kIoError:
        return EIO;
      case Fault::kNoAccess:
        return op == kOpen || op == kCreateOpen || op == kTemp || op == kMeta || op == kRename ||
                       op == kUnlink || op == kMkdir || op == kList
                   ? EACCES
                   : 0;
      case Fault::kShortWrite:
        return op == kWrite ? -1 : 0;
      case Fault::kFailedRename:
        return op == kRename ? EIO : 0;
      case Fault::kFailedSync:
        return op == kSync ? EIO : 0;
    }
    return 0;
  }

  // Counts a step; true (errno set) when this call is the one to fail.
  bool Fail(Op op) {
    if (kill_ != nullptr) kill_->Step();
    const int error = ErrorFor(op);
    if (error == 0 || ++points_ != failAt_) return false;
    if (error < 0) {  // a short write is no failure: it writes less and says so
      shortWrite_ = true;
      return false;
    }
    static constexpr const char* kNames[] = {"open",   "open-create", "mkostemp", "stat",
                                             "read",   "write",       "sync",     "close",
                                             "rename", "unlink",      "mkdir",    "list"};
    failed_ = std::string(kNames[op]) + " " + std::strerror(error);
    errno = error;
    return true;
  }

  void Changes(const std::string& path) {
    if (allowed_.empty()) return;
    const std::string allowed = allowed_.string();
    const bool inside = path.rfind(allowed + "/", 0) == 0 || path == allowed ||
                        allowed.rfind(path + "/", 0) == 0;  // a folder above it
    if (!inside) outside_.push_back(path);
  }

  const Fault fault_;
  const int failAt_;
  const std::filesystem::path allowed_;
  KillPoint* const kill_;
  int points_ = 0;
  bool shortWrite_ = false;
  std::vector<std::string> outside_;
  std::string failed_;
};

// The private functions of `inner`, each hot key or corner change counted as
// a step of `kill` first.
class KillingBundles : public platform::CFBundles {
 public:
  KillingBundles(platform::CFBundles& inner, KillPoint& kill) : inner_(inner), kill_(kill) {}

  std::unique_ptr<platform::CFBundleRef> CFBundleCreate(std::string_view path) override {
    std::unique_ptr<platform::CFBundleRef> bundle = inner_.CFBundleCreate(path);
    if (!bundle) return nullptr;
    return std::make_unique<Ref>(std::move(bundle), kill_);
  }

 private:
  class Ref : public platform::CFBundleRef {
   public:
    Ref(std::unique_ptr<platform::CFBundleRef> inner, KillPoint& kill)
        : inner_(std::move(inner)), kill_(kill) {}
    bool CFBundleLoadExecutable() override { return inner_->CFBundleLoadExecutable(); }
    std::optional<platform::BundleFunction> CFBundleGetFunctionPointerForName(
        std::string_view name) override {
      std::optional<platform::BundleFunction> function =
          inner_->CFBundleGetFunctionPointerForName(name);
      if (!function || name == "CGSIsSymbolicHotKeyEnabled") return function;
      KillPoint* kill = &kill_;
      return [kill, f = *function](int32_t a, int32_t b) {
        kill->Step();
        return f(a, b);
      };
    }

   private:
    std::unique_ptr<platform::CFBundleRef> inner_;
    KillPoint& kill_;
  };

  platform::CFBundles& inner_;
  KillPoint& kill_;
};

}  // namespace osxnatives::testing

#endif  // OSXNATIVES_TESTS_SUPPORT_FAULT_INJECTION_H_
