#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "main/ui_module_abi.h"

namespace vigilo {

class OnboardingWindow;
class SettingsWindow;
class AlertsWindow;
class RulesWindow;
class ActivityWindow;
class CommandWindow;
class ReportWindow;
class DashboardWindow;
class ReadingsHistory;
class StatusCard;
class WhyWindow;

// The tray's windows, each made on first use and kept when closed, so a
// later use brings the same one to the front; the dashboard alone is let go
// when closed, for the memory its charts hold. Main thread only.
class WindowShelf {
public:
    WindowShelf(const TrayServices& services, Loop& loop);
    ~WindowShelf();
    WindowShelf(const WindowShelf&) = delete;
    WindowShelf& operator=(const WindowShelf&) = delete;

    StatusCard& showStatus();
    // A line the status window shows under the state until it is cleared:
    // why the window opened by itself. An open window shows the change at once.
    void setStatusNotice(std::string notice);
    void clearStatusNotice();
    // What the status window's "Quit Vigilo" does: the tray menu's quit.
    void setQuit(std::function<void()> quit) { quit_ = std::move(quit); }
    DashboardWindow& showDashboard();
    SettingsWindow& showSettings();
    // From its first step.
    OnboardingWindow& showOnboarding();
    RulesWindow& showRules();
    AlertsWindow& showAlerts();
    ActivityWindow& showActivity();
    CommandWindow& showCommand();
    ReportWindow& showReport();
    // Nothing where the application keeps no live list of locks.
    void showWhy();

private:
    TrayServices services_;
    std::optional<std::string> statusNotice_;
    std::function<void()> quit_;
    Loop& loop_;
    std::unique_ptr<StatusCard> status_;
    std::unique_ptr<ReadingsHistory> history_;  // from the start, so the charts have a past
    std::unique_ptr<DashboardWindow> dashboard_;
    std::unique_ptr<SettingsWindow> settings_;
    std::unique_ptr<OnboardingWindow> onboarding_;
    std::unique_ptr<RulesWindow> rules_;
    std::unique_ptr<AlertsWindow> alerts_;
    std::unique_ptr<ActivityWindow> activity_;
    std::unique_ptr<CommandWindow> command_;
    std::unique_ptr<ReportWindow> report_;
    std::unique_ptr<WhyWindow> why_;
};

}  // namespace vigilo
