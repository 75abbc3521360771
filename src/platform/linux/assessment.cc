// Linux has no assessment mode: the framework is reported missing, and no
// session is ever made.
#include "platform/ae_assessment_session.h"
#include "platform/linux/services.h"

namespace osxnatives::platform {
namespace {

class LinuxAssessment : public AEAssessment {
 public:
  AEAssessmentCapabilities capabilities() override {
    AEAssessmentCapabilities capabilities;
    capabilities.unavailableReason =
        "AutomaticAssessmentConfiguration is a macOS framework; Linux has no assessment mode";
    return capabilities;
  }
  std::unique_ptr<AEAssessmentSession> makeSession(
      const AEAssessmentConfiguration& /*configuration*/,
      std::shared_ptr<AEAssessmentSessionDelegate> /*delegate*/) override {
    return nullptr;
  }
};

}  // namespace

AEAssessment& LinuxAEAssessment() {
  static auto* const assessment = new LinuxAssessment();
  return *assessment;
}

}  // namespace osxnatives::platform
