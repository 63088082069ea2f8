#pragma once

#include "main/ui_module_abi.h"
#include "support/loop.h"
#include "ui/onboarding_model.h"
#include "ui/qt/windows/form_window.h"

class QPushButton;
class QVBoxLayout;

namespace vigilo {

// "Welcome to Vigilo": six steps that introduce the application and offer
// the few set-up actions that need the person. "Skip" and "Done" finish it
// for good; closing the window only puts it away until the next launch.
class OnboardingWindow final : public FormWindow {
public:
    explicit OnboardingWindow(const TrayServices& services);

    // Back at the first step, as a new showing of the onboarding starts.
    void restart();

private:
    void showStep();
    void addActions(QVBoxLayout* layout);
    void addNotificationTest(QVBoxLayout* layout);
    void addTryItNow(QVBoxLayout* layout);
    void finish();

    TrayServices services_;
    OnboardingProgress progress_;
    QLabel* progressText_ = nullptr;
    QVBoxLayout* body_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* done_ = nullptr;
    // Kept across the steps while the window lives.
    std::string notificationAnswer_;
    std::string installMessage_;
    bool waitingForNotification_ = false;
    LifeToken life_;
};

}  // namespace vigilo
