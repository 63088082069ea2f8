#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vigilo {

class AppSettings;
struct VigiloOnPath;

// What the onboarding window shows, apart from the toolkit. Icons are icon
// theme names.

struct OnboardingPoint {
    std::string icon;
    std::string title;  // empty for a plain point
    std::string text;
};

struct OnboardingStep {
    std::string title;
    std::string icon;
    std::string text;
    std::vector<OnboardingPoint> points;
};

enum class OnboardingStepKind { welcome, steppingAway, notifications, closedLid, protection, tryItNow };

// The steps in order; the index of each is its OnboardingStepKind.
const std::vector<OnboardingStep>& onboardingSteps();

// Where the person is in the steps and which navigation buttons show.
class OnboardingProgress {
public:
    std::size_t index() const { return index_; }
    OnboardingStepKind kind() const { return static_cast<OnboardingStepKind>(index_); }
    std::string progressText() const;  // "Step 1 of 6"
    bool showsBack() const { return index_ > 0; }
    bool isLast() const { return index_ + 1 == onboardingSteps().size(); }  // "Done" instead of "Next"
    void next();
    void back();
    void restart() { index_ = 0; }

private:
    std::size_t index_ = 0;
};

// "Skip" and "Done": the onboarding no longer opens by itself.
void finishOnboarding(AppSettings& settings);

// The last step's part about the `vigilo` command: the per-user install is
// offered only while no other `vigilo` is on the PATH.
struct OnboardingCommandPart {
    std::string heading;
    std::string text;
    bool offersInstall = false;
};
OnboardingCommandPart onboardingCommandPart(const VigiloOnPath& onPath);

// The line under "Send a test notification" once the answer came.
std::string testNotificationAnswer(bool delivered);

}  // namespace vigilo
