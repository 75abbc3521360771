// A simulated desktop of a test's own: a scenario given as JSON text and a
// journal in a temporary folder that the test can read back.
#ifndef OSXNATIVES_TESTS_SUPPORT_SIM_DESKTOP_H_
#define OSXNATIVES_TESTS_SUPPORT_SIM_DESKTOP_H_

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/sim/desktop.h"
#include "tests/support/temp_dir.h"

namespace osxnatives::testing {

class TestDesktop {
 public:
  explicit TestDesktop(const std::string& scenario_json = "{}")
      : journal_path_((dir_.path() / "journal.jsonl").string()),
        desktop_(platform::sim::Scenario::Parse(scenario_json, "test scenario"), journal_path_) {}

  platform::sim::Desktop& desktop() { return desktop_; }
  const TempDir& dir() const { return dir_; }

  // The journal entries written so far, of every call or of `call` only, in order.
  std::vector<nlohmann::json> Journal(const std::string& call = "") const {
    std::vector<nlohmann::json> entries;
    std::ifstream in(journal_path_);
    for (std::string line; std::getline(in, line);) {
      auto entry = nlohmann::json::parse(line);
      if (call.empty() || entry["call"] == call) entries.push_back(std::move(entry));
    }
    return entries;
  }

 private:
  TempDir dir_;
  std::string journal_path_;
  platform::sim::Desktop desktop_;
};

}  // namespace osxnatives::testing

#endif  // OSXNATIVES_TESTS_SUPPORT_SIM_DESKTOP_H_
