// Process listing and control, measured in one run at several numbers of
// running processes:
//
//   listing   the C++ API (SecurityControllerSwift::getAllProcesses), the JNI
//             native called from Java (document included), `ps -e -o
//             pid,ppid,comm,args` started from Java, the JDK's
//             ProcessHandle.allProcesses() with info().command() and
//             parent(), and the floor: a loop that only reads
//             /proc/<pid>/stat and /proc/<pid>/exe of every process.
//   control   pausing and resuming 1000 processes (C++ API and JNI) against
//             1000 bare kill(SIGSTOP) plus 1000 bare kill(SIGCONT) calls.
//
//   integrity the full integrity report (C++ and JNI) against getAllProcesses
//             in the same run, and once, at the largest count, the delay of
//             100 launches reaching Java through the application watch
//             (median and 99th percentile).
//   memory    the peak of the C++ heap during one listing (above what was in
//             use before it), against the size of the document it returns.
//
// The processes are `sleep` children started here (each dies with this
// program through PR_SET_PDEATHSIG) and ended by their recorded pids. Every
// signal goes to one of them.
//
// Usage: process_bench [runs] [total processes...]   (default: 7 100 1000 3000)
//        process_bench --loop SECONDS TOTAL   only the C++ listing, over and
//                                             over, for a profiler
#include <dirent.h>
#include <fcntl.h>
#include <jni.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "controller/security_controller_swift.h"
#include "heap_counter.h"
#include "integrity/integrity_report.h"
#include "platform/linux/integrity.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Stats {
  double median_ms = 0, min_ms = 0, max_ms = 0, p99_ms = 0;
};

Stats Summarize(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  Stats s;
  s.min_ms = ms.front();
  s.max_ms = ms.back();
  const size_t n = ms.size();
  s.median_ms = n % 2 == 1 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
  // Nearest rank.
  s.p99_ms = ms[std::min(n - 1, static_cast<size_t>(std::ceil(0.99 * static_cast<double>(n))) - 1)];
  return s;
}

// Runs `work` once to warm up, then `runs` times; returns the times.
Stats Measure(int runs, const std::function<void()>& work) {
  work();
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    work();
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return Summarize(ms);
}

int CountProcesses() {
  int count = 0;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) throw std::runtime_error("cannot open /proc");
  while (const dirent* entry = readdir(proc)) {
    if (entry->d_name[0] >= '1' && entry->d_name[0] <= '9') ++count;
  }
  closedir(proc);
  return count;
}

// The machine's floor: read the stat line and the exe link of every process.
size_t FloorListing() {
  size_t bytes = 0;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return 0;
  char path[300];
  char buffer[4096];
  while (const dirent* entry = readdir(proc)) {
    if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
    std::snprintf(path, sizeof path, "/proc/%s/stat", entry->d_name);
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n > 0) bytes += static_cast<size_t>(n);
      close(fd);
    }
    std::snprintf(path, sizeof path, "/proc/%s/exe", entry->d_name);
    const ssize_t n = readlink(path, buffer, sizeof buffer);
    if (n > 0) bytes += static_cast<size_t>(n);
  }
  closedir(proc);
  return bytes;
}

// `sleep` children, ended by their recorded pids on destruction.
class Sleepers {
 public:
  ~Sleepers() { EndAll(); }

  void Add(int count) {
    for (int i = 0; i < count; ++i) {
      const pid_t parent = getpid();
      const pid_t pid = fork();
      if (pid < 0) throw std::runtime_error("fork failed");
      if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);
        execl("/bin/sleep", "sleep", "3600", static_cast<char*>(nullptr));
        _exit(127);
      }
      pids_.push_back(pid);
    }
  }

  void EndAll() {
    for (pid_t pid : pids_) kill(pid, SIGKILL);
    for (pid_t pid : pids_) waitpid(pid, nullptr, 0);
    pids_.clear();
  }

  const std::vector<pid_t>& pids() const { return pids_; }

 private:
  std::vector<pid_t> pids_;
};

// The embedded JVM and the Java half of the benchmark.
class Java {
 public:
  Java() {
    std::string classpath = std::string("-Djava.class.path=") + OSXNATIVES_BENCH_CLASSPATH;
    std::string library = std::string("-Djava.library.path=") + OSXNATIVES_BENCH_LIBRARY_DIR;
    JavaVMOption options[2] = {{classpath.data(), nullptr}, {library.data(), nullptr}};
    JavaVMInitArgs args{JNI_VERSION_1_6, 2, options, JNI_FALSE};
    void* env = nullptr;
    if (JNI_CreateJavaVM(&vm_, &env, &args) != JNI_OK) throw std::runtime_error("no JVM");
    env_ = static_cast<JNIEnv*>(env);
    bench_ = env_->FindClass("com/qor/kestrelgate/osx/natives/bench/ProcessBench");
    Check();
    env_->CallStaticVoidMethod(bench_, env_->GetStaticMethodID(bench_, "load", "()V"));
    Check();
  }

  // Calls a static `long[] name(int runs)` (or `(String, int)`) and
  // summarizes the times it returns.
  Stats Times(const char* name, int runs, const std::string* document = nullptr) {
    jlongArray times;
    if (document == nullptr) {
      jmethodID method = env_->GetStaticMethodID(bench_, name, "(I)[J");
      Check();
      env_->CallStaticObjectMethod(bench_, method, jint{1});  // warm-up
      Check();
      times = static_cast<jlongArray>(env_->CallStaticObjectMethod(bench_, method, runs));
    } else {
      jmethodID method = env_->GetStaticMethodID(bench_, name, "(Ljava/lang/String;I)[J");
      Check();
      jstring text = env_->NewStringUTF(document->c_str());
      env_->CallStaticObjectMethod(bench_, method, text, jint{1});
      Check();
      times = static_cast<jlongArray>(env_->CallStaticObjectMethod(bench_, method, text, runs));
      env_->DeleteLocalRef(text);
    }
    Check();
    std::vector<jlong> ns(static_cast<size_t>(runs));
    env_->GetLongArrayRegion(times, 0, runs, ns.data());
    env_->DeleteLocalRef(times);
    std::vector<double> ms;
    for (jlong t : ns) ms.push_back(static_cast<double>(t) / 1e6);
    return Summarize(ms);
  }

 private:
  void Check() {
    if (env_->ExceptionCheck()) {
      env_->ExceptionDescribe();
      throw std::runtime_error("Java exception");
    }
  }

  JavaVM* vm_ = nullptr;
  JNIEnv* env_ = nullptr;
  jclass bench_ = nullptr;
};

void Row(const char* name, const Stats& s, int processes, const Stats* base = nullptr,
         const char* base_name = nullptr) {
  std::printf("  %-34s median %8.2f ms  min %8.2f  max %8.2f  %6.1f us/process", name, s.median_ms,
              s.min_ms, s.max_ms, 1000.0 * s.median_ms / processes);
  if (base != nullptr) std::printf("  %5.2fx %s", s.median_ms / base->median_ms, base_name);
  std::printf("\n");
}

std::string Document(const std::vector<pid_t>& pids, size_t count) {
  std::string doc = "{\"processes\": [";
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) doc += ", ";
    doc += "{\"pid\": \"" + std::to_string(pids[i]) + "\", \"processName\": \"sleep\"}";
  }
  return doc + "]}";
}

// The delay from just before posix_spawn of /bin/true to the watch's launch
// event for its pid, through the /proc watch (the fallback where the
// process-event connector is not permitted), `launches` times, in C++.
std::vector<double> ProcWatchLatency(int launches) {
  std::mutex mutex;
  std::condition_variable arrived;
  std::map<int32_t, Clock::time_point> seen;
  osxnatives::platform::os::LinuxProcessEvents watch(/*use_connector=*/false);
  std::string reason;
  if (!watch.addObservers(
          [&](const osxnatives::platform::ApplicationLifecycleEvent& event) {
            if (!event.launched) return;
            std::lock_guard<std::mutex> lock(mutex);
            seen.emplace(event.application.processIdentifier, Clock::now());
            arrived.notify_all();
          },
          &reason)) {
    throw std::runtime_error("no /proc watch: " + reason);
  }
  std::vector<double> ms;
  char program[] = "true";
  char* argv[] = {program, nullptr};
  for (int i = 0; i < launches; ++i) {
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/true", nullptr, nullptr, argv, environ) != 0) break;
    std::unique_lock<std::mutex> lock(mutex);
    const bool found =
        arrived.wait_for(lock, std::chrono::seconds(10), [&] { return seen.count(pid) != 0; });
    if (found) ms.push_back(std::chrono::duration<double, std::milli>(seen[pid] - start).count());
    lock.unlock();
    waitpid(pid, nullptr, 0);
  }
  watch.removeObservers();
  return ms;
}

}  // namespace

// The C++ listing in a loop, at `total` running processes, for a profiler.
int Loop(double seconds, int total) {
  Sleepers sleepers;
  sleepers.Add(std::max(0, total - CountProcesses()));
  size_t listings = 0;
  size_t sink = 0;
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < end) {
    sink += osxnatives::SecurityControllerSwift().getAllProcesses("").size();
    ++listings;
  }
  std::printf("%zu listings of %d processes (%zu bytes)\n", listings, CountProcesses(), sink);
  return 0;
}

// The heap's peak during one listing above what was in use before it, and
// the size of the document.
void MemoryRow(const char* name, const std::function<size_t()>& listing) {
  listing();
  const size_t before = bench::ResetHeapPeak();
  const size_t document = listing();
  const size_t peak = bench::HeapPeak() - before;
  std::printf("  %-34s peak heap %8.1f KiB  document %8.1f KiB  %5.2fx document\n", name,
              static_cast<double>(peak) / 1024, static_cast<double>(document) / 1024,
              static_cast<double>(peak) / static_cast<double>(document));
}

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--loop") {
    return Loop(std::atof(argv[2]), std::atoi(argv[3]));
  }
  int runs = argc > 1 ? std::atoi(argv[1]) : 7;
  if (runs < 1) runs = 7;
  std::vector<int> totals;
  for (int i = 2; i < argc; ++i) totals.push_back(std::atoi(argv[i]));
  if (totals.empty()) totals = {100, 1000, 3000};
  std::sort(totals.begin(), totals.end());

  // Sleepers are forked before the JVM starts, from a small process.
  Sleepers sleepers;
  std::printf("process benchmark: %d timed runs per figure (after one warm-up)\n", runs);
  try {
    std::unique_ptr<Java> java;
    for (int total : totals) {
      const int missing = total - CountProcesses();
      if (missing > 0) sleepers.Add(missing);
      if (java == nullptr) java = std::make_unique<Java>();
      const int processes = CountProcesses();
      std::printf("\n%d processes running (%zu sleepers)\n", processes, sleepers.pids().size());

      size_t sink = 0;
      const Stats floor = Measure(runs, [&] { sink += FloorListing(); });
      const Stats cpp = Measure(
          runs, [&] { sink += osxnatives::SecurityControllerSwift().getAllProcesses("").size(); });
      const Stats jni = java->Times("jniListing", runs);
      const Stats ps = java->Times("psListing", runs);
      const Stats handle = java->Times("processHandleListing", runs);
      Row("floor: /proc stat + exe loop", floor, processes);
      Row("C++ getAllProcesses", cpp, processes, &floor, "floor");
      Row("JNI getAllProcesses (from Java)", jni, processes, &floor, "floor");
      Row("ps -e -o pid,ppid,comm,args", ps, processes, &floor, "floor");
      Row("ProcessHandle.allProcesses()", handle, processes, &floor, "floor");
      std::printf("  ratios: JNI/floor %.2f  JNI/ps %.2f  JNI/ProcessHandle %.2f  C++/floor %.2f\n",
                  jni.median_ms / floor.median_ms, jni.median_ms / ps.median_ms,
                  jni.median_ms / handle.median_ms, cpp.median_ms / floor.median_ms);
      const Stats report =
          Measure(runs, [&] { sink += osxnatives::integrity::IntegrityReport().Take().size(); });
      const Stats jni_report = java->Times("jniIntegrityReport", runs);
      Row("C++ integrity report", report, processes, &cpp, "C++ getAllProcesses");
      Row("JNI integrity report", jni_report, processes, &jni, "JNI getAllProcesses");
      std::printf("  ratios: report/getAllProcesses C++ %.2f  JNI %.2f (at most 1.5)\n",
                  report.median_ms / cpp.median_ms, jni_report.median_ms / jni.median_ms);
      if (total == totals.back()) {
        const Stats launch = java->Times("launchLatency", 100);
        std::printf(
            "  launch reaches Java (100 launches): median %.2f ms  p99 %.2f ms  max %.2f"
            " ms (at most 50 ms median)\n",
            launch.median_ms, launch.p99_ms, launch.max_ms);
        const std::vector<double> polled = ProcWatchLatency(100);
        if (polled.empty()) throw std::runtime_error("the /proc watch saw no launch");
        const Stats poll = Summarize(polled);
        std::printf(
            "  launch seen by the /proc watch (every %lld ms, C++, %zu of 100 seen): median"
            " %.2f ms  p99 %.2f ms  max %.2f ms\n",
            static_cast<long long>(
                osxnatives::platform::os::LinuxProcessEvents::kPollInterval.count()),
            polled.size(), poll.median_ms, poll.p99_ms, poll.max_ms);
      }
      size_t document = 0;
      MemoryRow("memory of one C++ listing", [&] {
        document = osxnatives::SecurityControllerSwift().getAllProcesses("").size();
        return document;
      });
      MemoryRow("memory of one JNI listing (native)", [&] {
        java->Times("jniListing", 1);
        return document;
      });

      if (sleepers.pids().size() >= 1000) {
        const std::vector<pid_t> targets(sleepers.pids().begin(), sleepers.pids().begin() + 1000);
        const std::string document = Document(targets, targets.size());
        const Stats bare = Measure(runs, [&] {
          for (pid_t pid : targets) kill(pid, SIGSTOP);
          for (pid_t pid : targets) kill(pid, SIGCONT);
        });
        const Stats control = Measure(runs, [&] {
          osxnatives::SecurityControllerSwift controller;
          sink += controller.pauseAll(document).size();
          controller.resumeAll(document);
        });
        const Stats jni_control = java->Times("jniPauseResume", runs, &document);
        std::printf("  pause + resume of 1000 processes:\n");
        Row("bare kill() x 2000", bare, 1000);
        Row("C++ pauseAll + resumeAll", control, 1000, &bare, "bare kill");
        Row("JNI pause + resume (from Java)", jni_control, 1000, &bare, "bare kill");
      }
      if (sink == 0) std::printf("(nothing read)\n");
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "process_bench: %s\n", e.what());
    sleepers.EndAll();
    return 1;
  }
  sleepers.EndAll();
  // The JVM is left to the process exit; DestroyJavaVM would wait for its
  // non-daemon threads.
  std::fflush(stdout);
  _exit(0);
}
