// Every file operation of a lockdown-and-unlock cycle, and of the recovery
// tool's restore, failed in turn with each kind of fault. After each run the
// user's corners and hot keys are back, or still recorded so that the next
// fault-free unlock or recovery brings them back; the output says which, once.
#include "tests/support/fault_injection.h"

#include <cstdio>

#include "controller/security_controller_swift.h"
#include "input/input_handler_swift.h"
#include "tests/input/lockdown_support.h"
#include "tools/recovery.h"

namespace osxnatives {
namespace {

namespace fs = std::filesystem;
using testing::CapturedStdout;
using testing::DesktopState;
using testing::Fault;
using testing::FaultyFileCalls;
using testing::Lockdown;

// The user's desktop before the exam: a few hot keys on (15 and 27, which
// a lockdown leaves alone, among them), the others off; corners 2, 5, 0, 11.
DesktopState User() {
  DesktopState user = {{-1, 2}, {-2, 5}, {-3, 0}, {-4, 11}};
  for (int32_t id = 0; id < 256; ++id) {
    user[id] = id == 0 || id == 1 || id == 15 || id == 27 || id == 64 || id == 118 ? 1 : 0;
  }
  return user;
}

void WriteUserDock(const Lockdown& lockdown) {
  lockdown.WriteDock({{"wvous-tl-corner", 2}, {"wvous-tr-corner", 5}, {"wvous-br-corner", 11}});
}

// What one run printed: standard output, then the system log.
std::vector<std::string> Said(CapturedStdout& out, const Lockdown& lockdown) {
  std::vector<std::string> lines = out.Lines();
  for (const std::string& line : lockdown.systemLog.lines()) lines.push_back(line);
  return lines;
}

// The lines that hold one of `parts`.
size_t Count(const std::vector<std::string>& lines, const std::vector<std::string>& parts) {
  size_t count = 0;
  for (const std::string& line : lines) {
    for (const std::string& part : parts) count += line.find(part) != std::string::npos ? 1 : 0;
  }
  return count;
}

void Cycle(Lockdown& lockdown) {
  SecurityControllerSwift::sharedInputHandler()->setNotificationCenter(lockdown.center);
  SecurityControllerSwift::startInputHandler();
  SecurityControllerSwift::stopInputHandler();
}

int Recover() {
  recover::ConsoleHost host;
  ScopedHost installed(&host);
  return recover::Run(recover::Options{});
}

// The figures of one table: per fault, the injection points and how many
// runs needed the next unlock or recovery.
void Report(const char* what, Fault fault, int points, int deferred, int lost) {
  std::printf("%s, %s: %d injection points, %d left on disk for the next run, %d lost\n", what,
              testing::FaultName(fault), points, deferred, lost);
}

// The runs under test: a whole lockdown and unlock through the controller,
// and the recovery tool's restore of what a killed lockdown left: its
// settings file and write-ahead record, or (killed before the settings file
// was written) the record alone.
enum class Subject { kCycle, kRecovery, kRecoveryFromRecord };

struct Trial {
  int points = 0;  // operations the fault applies to
  bool restored = false;
  std::vector<std::string> said;
  int status = 0;  // the tool's exit status
  std::vector<std::string> outside;
  std::string failed;  // the call that failed
  bool left = false;   // the settings file is still on disk
  bool kept = false;   // the settings file or a copy of it is
};

// Sets up the user's desktop in `lockdown` and runs `run` with the `failAt`-th
// operation that `fault` applies to failing (0: none).
Trial Try(Lockdown& lockdown, Subject run, Fault fault, int failAt) {
  WriteUserDock(lockdown);
  if (run != Subject::kCycle) {
    FaultyFileCalls none(fault, 0);  // for the real calls without their slow flushes
    platform::ScopedOverride<platform::PosixFileCalls> fast(&none);
    CapturedStdout quiet;
    InputHandlerSwift(true).start();  // and never stopped
    if (run == Subject::kRecoveryFromRecord) {
      fs::remove(lockdown.settingsFolder("ExamHost") / "Settings.plist");
    }
  }
  FaultyFileCalls calls(fault, failAt, lockdown.settingsFolder(""));
  Trial trial;
  {
    platform::ScopedOverride<platform::PosixFileCalls> faulty(&calls);
    CapturedStdout out;
    if (run == Subject::kCycle) {
      Cycle(lockdown);
    } else {
      trial.status = Recover();
    }
    trial.said = Said(out, lockdown);
  }
  trial.points = calls.points();
  trial.outside = calls.outside();
  trial.failed = calls.failed();
  trial.restored = testing::Replay(User(), lockdown.Journal()) == User();
  const fs::path folder = lockdown.settingsFolder("ExamHost");
  trial.left = fs::exists(folder / "Settings.plist");
  trial.kept = fs::exists(folder) && !fs::is_empty(folder);
  return trial;
}

// For each fault and each operation it applies to, `run` with that one
// operation failing. The desktop is then the user's, or the settings stayed on
// disk, one line says so, and the next fault-free run (the next lockdown and
// unlock, or the next recovery) restores them. Nothing is changed outside the
// settings folder.
void EveryOperationFailedInTurn(Subject run) {
  const char* name = run == Subject::kCycle      ? "lockdown and unlock"
                     : run == Subject::kRecovery ? "recovery"
                                                 : "recovery from the record alone";
  for (const Fault fault : testing::kEveryFault) {
    int points = 0;
    {
      Lockdown lockdown(testing::Scenario(User()).dump());
      const Trial clean = Try(lockdown, run, fault, 0);
      ASSERT_TRUE(clean.restored) << name;
      points = clean.points;
    }
    int deferred = 0, lost = 0;
    for (int n = 1; n <= points; ++n) {
      SCOPED_TRACE(std::string(name) + ", " + testing::FaultName(fault) + " at point " +
                   std::to_string(n));
      Lockdown lockdown(testing::Scenario(User()).dump());
      const Trial trial = Try(lockdown, run, fault, n);
      EXPECT_EQ(trial.outside, std::vector<std::string>{});
      EXPECT_TRUE(trial.restored || trial.kept) << trial.failed;
      const std::string said = trial.failed + ": " + ::testing::PrintToString(trial.said);
      if (run == Subject::kCycle) {
        EXPECT_EQ(Count(trial.said, {"Failed to read user settings."}), trial.restored ? 0U : 1U)
            << said;
        EXPECT_EQ(Count(trial.said, {"Error removing plist file: "}),
                  trial.restored && trial.left ? 1U : 0U)
            << said;
      } else {
        const bool stays = trial.left || !trial.restored;
        EXPECT_EQ(Count(trial.said, {"stays on disk.", "Nothing was changed."}), stays ? 1U : 0U)
            << said;
        EXPECT_EQ(trial.status, stays ? recover::kFailed : recover::kDone) << said;
      }
      if (trial.restored && !trial.kept) continue;
      ++deferred;
      // The next lockdown reads the corners the Dock shows now.
      const DesktopState now = testing::Replay(User(), lockdown.Journal());
      lockdown.WriteDock({{"wvous-tl-corner", now.at(-1)},
                          {"wvous-tr-corner", now.at(-2)},
                          {"wvous-bl-corner", now.at(-3)},
                          {"wvous-br-corner", now.at(-4)}});
      CapturedStdout quiet;
      run == Subject::kCycle ? Cycle(lockdown) : (void)Recover();
      const bool back = testing::Replay(User(), lockdown.Journal()) == User();
      EXPECT_TRUE(back) << "the next run restores";
      EXPECT_TRUE(fs::is_empty(lockdown.settingsFolder("ExamHost")));
      lost += back ? 0 : 1;
    }
    Report(name, fault, points, deferred, lost);
  }
}

TEST(EveryFileOperationTest, LockdownAndUnlock) { EveryOperationFailedInTurn(Subject::kCycle); }

TEST(EveryFileOperationTest, RecoveryToolRestore) {
  EveryOperationFailedInTurn(Subject::kRecovery);
  EveryOperationFailedInTurn(Subject::kRecoveryFromRecord);
}

}  // namespace
}  // namespace osxnatives
