#include "ui/qt/window_shelf.h"

#include <malloc.h>

#include <utility>

#include "activity/activity_log.h"
#include "alerts/watchdog.h"
#include "app/app_state.h"
#include "support/tr.h"
#include "ui/qt/report/report_window.h"
#include "ui/qt/dashboard_window.h"
#include "ui/readings_history.h"
#include "ui/qt/status_card.h"
#include "ui/qt/windows/onboarding_window.h"
#include "ui/qt/windows/settings_window.h"
#include "ui/qt/windows/alerts_window.h"
#include "ui/qt/windows/rules_window.h"
#include "ui/qt/windows/activity_window.h"
#include "ui/qt/windows/command_window.h"
#include "ui/qt/windows/why_window.h"
#include "ui/qt/window_frame.h"

namespace vigilo {

WindowShelf::WindowShelf(const TrayServices& services, Loop& loop)
    : services_(services), loop_(loop), history_(std::make_unique<ReadingsHistory>(services.state, loop)) {}

WindowShelf::~WindowShelf() = default;

StatusCard& WindowShelf::showStatus() {
    if (!status_) {
        status_ = std::make_unique<StatusCard>(
            services_, loop_,
            [this] {
                if (quit_) quit_();
            },
            [this] { return statusNotice_; });
    }
    status_->present();
    return *status_;
}

void WindowShelf::setStatusNotice(std::string notice) {
    statusNotice_ = std::move(notice);
    if (status_ && status_->isVisible()) status_->redraw();
}

void WindowShelf::clearStatusNotice() {
    if (!std::exchange(statusNotice_, std::nullopt)) return;
    if (status_ && status_->isVisible()) status_->redraw();
}

DashboardWindow& WindowShelf::showDashboard() {
    // Its charts are a few megabytes: a closed dashboard is let go, and the
    // memory given back to the system, so the idle tray stays small.
    if (!dashboard_) {
        dashboard_ = std::make_unique<DashboardWindow>(services_, loop_, *history_, [this] {
            dashboard_.reset();
            ::malloc_trim(0);
        });
    }
    dashboard_->present();
    return *dashboard_;
}

SettingsWindow& WindowShelf::showSettings() {
    if (!settings_) settings_ = std::make_unique<SettingsWindow>(services_);
    settings_->present();
    return *settings_;
}

OnboardingWindow& WindowShelf::showOnboarding() {
    if (!onboarding_) onboarding_ = std::make_unique<OnboardingWindow>(services_);
    if (!onboarding_->isVisible()) onboarding_->restart();
    onboarding_->present();
    return *onboarding_;
}

RulesWindow& WindowShelf::showRules() {
    if (!rules_) rules_ = std::make_unique<RulesWindow>(services_.rules, services_.settings, loop_);
    rules_->present();
    return *rules_;
}

AlertsWindow& WindowShelf::showAlerts() {
    if (!alerts_) alerts_ = std::make_unique<AlertsWindow>(services_, loop_);
    alerts_->present();
    return *alerts_;
}

ActivityWindow& WindowShelf::showActivity() {
    if (!activity_) activity_ = std::make_unique<ActivityWindow>(services_.activity, loop_);
    activity_->present();
    return *activity_;
}

CommandWindow& WindowShelf::showCommand() {
    if (!command_) {
        command_ = std::make_unique<CommandWindow>(services_.state, services_.runner, services_.settings, loop_);
    }
    command_->present();
    return *command_;
}

// Made afresh from the activity log each time the window is shown.
ReportWindow& WindowShelf::showReport() {
    if (!report_) {
        report_ = std::make_unique<ReportWindow>(
            [this] { return ReportInput{services_.activity.events().get(), loop_.clock().wallNow()}; });
        closeOnEscape(*report_);
    }
    presentWindow(*report_);
    return *report_;
}

void WindowShelf::showWhy() {
    if (!services_.inhibitors) return;
    if (!why_) why_ = std::make_unique<WhyWindow>(*services_.inhibitors);
    why_->present();
}

}  // namespace vigilo
