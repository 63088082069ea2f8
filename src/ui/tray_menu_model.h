#pragma once

#include <string>
#include <vector>

#include "ui/state_facts.h"

namespace vigilo {

// What choosing a menu entry asks for. The controller's operations are
// carried out by TrayActions; windows, dialogs and quitting are the view's.
enum class TrayAction {
    none,
    toggleAutoWatch,
    toggleKeepAwake,
    toggleClamshell,
    stop,
    toggleChargingOnly,
    startTimer,  // for MenuItem::timerSeconds
    togglePreventDisplaySleep,
    toggleLaunchAtLogin,
    openDashboard,
    openSmartRules,
    openAlerts,
    openWeeklyReport,
    openActivityLog,
    openWhy,
    openStatusWindow,
    openRunCommand,
    installCli,
    showOnboarding,
    openSettings,
    quit,
};

struct MenuItem {
    enum class Kind { line, action, check, submenu, separator };

    Kind kind = Kind::line;
    std::string text;
    bool enabled = true;
    bool checked = false;
    bool bold = false;
    int indent = 0;  // levels, for the lines under Auto Mode
    TrayAction action = TrayAction::none;
    // Run after the menu has closed rather than inside the menu's handler.
    bool deferred = false;
    double timerSeconds = 0;
    std::vector<MenuItem> children;  // the entries of a submenu

    bool operator==(const MenuItem&) const = default;
};

// Which windows the view can open; an entry for one it cannot is shown
// disabled. The tray has them all.
struct AvailableWindows {
    bool dashboard = true;
    bool status = true;
    bool smartRules = true;
    bool alerts = true;
    bool weeklyReport = true;
    bool activityLog = true;
    bool why = true;
    bool runCommand = true;
    bool onboarding = true;
    bool settings = true;
};

inline constexpr std::size_t kMaxListedMatches = 8;

// The whole tray menu for the facts, rebuilt from scratch on every change.
std::vector<MenuItem> buildTrayMenu(const StateFacts& facts, const AvailableWindows& windows = {});

// The informational lines at the top of the menu, in order.
std::vector<std::string> trayInfoLines(const StateFacts& facts);

// Why the menu leaves entries out, for the settings window: nothing where
// the computer has both a lid and a battery.
std::string missingHardwareNote(bool hasLid, bool hasBattery);

// The lines listed under Auto Mode while it is on.
std::vector<std::string> autoModeLines(const std::vector<WatchMatch>& matches, bool useCpuDetection);

}  // namespace vigilo
