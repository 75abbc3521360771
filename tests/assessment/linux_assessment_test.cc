// Linux has no assessment mode: the backend says so, with a reason, and the
// mode refuses to begin with that reason.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "assessment/assessment_mode.h"
#include "platform/linux/services.h"

namespace osxnatives::assessment {
namespace {

class NoEvents : public SessionEventSink {
 public:
  void OnSessionEvent(const SessionEvent& /*event*/) override { ADD_FAILURE() << "an event"; }
};

TEST(LinuxAssessmentTest, UnavailableWithAReasonAndNoSession) {
  platform::ScopedOverride<platform::AEAssessment> use(&platform::LinuxAEAssessment());
  NoEvents sink;
  auto mode = AssessmentMode::Create(sink);
  auto availability = nlohmann::json::parse(mode->availability());
  EXPECT_FALSE(availability["available"]);
  const std::string reason = availability["reason"];
  EXPECT_NE(reason.find("Linux"), std::string::npos);
  auto answer = nlohmann::json::parse(mode->begin("{}"));
  EXPECT_FALSE(answer["ok"]);
  EXPECT_EQ(answer["error"], "assessment mode is unavailable: " + reason);
  EXPECT_EQ(platform::LinuxAEAssessment().makeSession({}, nullptr), nullptr);
}

}  // namespace
}  // namespace osxnatives::assessment
