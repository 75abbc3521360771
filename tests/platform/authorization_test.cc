#include "platform/sim/authorization.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/support/sim_desktop.h"

namespace osxnatives::platform::sim {
namespace {

using osxnatives::testing::TestDesktop;

// Collects completion answers and the threads they ran on.
struct Answers {
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<bool> granted;
  std::vector<std::thread::id> threads;

  std::function<void(bool)> Handler() {
    return [this](bool answer) {
      std::lock_guard<std::mutex> lock(mutex);
      granted.push_back(answer);
      threads.push_back(std::this_thread::get_id());
      arrived.notify_all();
    };
  }
  bool WaitFor(size_t count) {
    std::unique_lock<std::mutex> lock(mutex);
    return arrived.wait_for(lock, std::chrono::seconds(10),
                            [&] { return granted.size() >= count; });
  }
};

TEST(SimCaptureDeviceTest, AnswersOnItsOwnThreadAndRemembersTheAnswer) {
  TestDesktop test(R"({"permissions": {"camera": 0, "cameraRequestGranted": false,
                                       "microphone": 0}})");
  Answers answers;
  {
    SimCaptureDevice device(test.desktop());
    device.requestAccessForMediaType(kAVMediaTypeVideo, answers.Handler());
    device.requestAccessForMediaType(kAVMediaTypeAudio, answers.Handler());
    ASSERT_TRUE(answers.WaitFor(2));
    EXPECT_EQ(device.authorizationStatusForMediaType(kAVMediaTypeVideo), 2);
    EXPECT_EQ(device.authorizationStatusForMediaType(kAVMediaTypeAudio), 3);
    // Asked again, the camera is refused without the user: the status stands.
    device.requestAccessForMediaType(kAVMediaTypeVideo, answers.Handler());
    ASSERT_TRUE(answers.WaitFor(3));
  }
  EXPECT_EQ(answers.granted, (std::vector<bool>{false, true, false}));
  for (auto id : answers.threads) {
    EXPECT_NE(id, std::this_thread::get_id());
  }
  const auto journal = test.Journal("requestAccessForMediaType:completionHandler:");
  ASSERT_EQ(journal.size(), 3U);
  EXPECT_EQ(journal[0]["service"], "AVCaptureDevice");
}

TEST(SimCaptureDeviceTest, DestructionRunsQueuedCompletions) {
  TestDesktop test(R"({"permissions": {"microphone": 2}})");
  Answers answers;
  {
    SimCaptureDevice device(test.desktop());
    for (int i = 0; i < 50; ++i) {
      device.requestAccessForMediaType(kAVMediaTypeAudio, answers.Handler());
    }
  }
  EXPECT_EQ(answers.granted, std::vector<bool>(50, false));
}

TEST(SimCaptureDeviceTest, BadScenarioValuesFallBackWithAWarning) {
  TestDesktop test(R"({"permissions": {"camera": 7, "microphone": "3",
                                       "cameraRequestGranted": 1}})");
  ::testing::internal::CaptureStderr();
  SimCaptureDevice device(test.desktop());
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("permissions.camera "), std::string::npos) << err;
  EXPECT_NE(err.find("permissions.microphone "), std::string::npos) << err;
  EXPECT_NE(err.find("permissions.cameraRequestGranted"), std::string::npos) << err;
  EXPECT_EQ(device.authorizationStatusForMediaType(kAVMediaTypeVideo), 3);
  EXPECT_EQ(device.authorizationStatusForMediaType(kAVMediaTypeAudio), 3);
}

TEST(SimAXTrustTest, GrantedAfterTheConfiguredChecksFollowingThePrompt) {
  TestDesktop test(R"({"permissions": {"accessibilityTrusted": false,
                                       "accessibilityGrantedAfterPolls": 2}})");
  SimAXTrust trust(test.desktop());
  // Without a prompt the user is never asked.
  const std::vector<bool> prompts = {false, false, true, false, false, false};
  std::vector<bool> trusted;
  trusted.reserve(prompts.size());
  for (bool prompt : prompts) {
    trusted.push_back(trust.AXIsProcessTrustedWithOptions(prompt));
  }
  EXPECT_EQ(trusted, (std::vector<bool>{false, false, false, false, false, true}));
  const auto journal = test.Journal("AXIsProcessTrustedWithOptions");
  ASSERT_EQ(journal.size(), prompts.size());
  EXPECT_EQ(journal[2]["service"], "AXIsProcessTrustedWithOptions");
  EXPECT_EQ(journal[2]["args"], nlohmann::json({{"prompt", true}}));
  EXPECT_EQ(journal[3]["args"], nlohmann::json({{"prompt", false}}));
}

}  // namespace
}  // namespace osxnatives::platform::sim
