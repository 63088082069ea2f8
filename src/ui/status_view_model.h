#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ui/state_facts.h"
#include "ui/tray_icon.h"
#include "ui/tray_menu_model.h"
#include "ui/view_rows.h"

namespace vigilo {

inline constexpr const char* kStatusWindowTitle = "Vigilo Status";
inline constexpr int kStatusWindowWidth = 380;
inline constexpr int kStatusWindowHeight = 440;

// One workload on the status card, with its bars.
struct StatusWorkload {
    std::string name;
    double cpuPercent = 0;   // of one core, may pass 100
    double gpuPercent = -1;  // -1: not measured, no bar
    bool idle = false;
    bool operator==(const StatusWorkload&) const = default;
};

// What the status window shows, redrawn every second and on every change.
struct StatusView {
    StateIcon icon = StateIcon::moon;
    std::string modeLabel;  // the mode's short label
    std::string runState;   // "Off", "Active", "Paused", ...
    std::string liveStatus;
    std::optional<std::string> notice;   // under the state: why this window opened by itself
    std::optional<std::string> message;  // the latest short message to the user
    std::optional<std::string> othersLine;  // "Also keeping awake: Firefox, backup"
    std::vector<ViewRow> rows;

    // The card: the time in large type with what it counts, the workloads,
    // battery and temperature with their icons, and the actions the tray
    // menu offers for the mode (carried out as its entries are).
    std::string time;         // "00:59:12", empty when there is nothing to count
    std::string timeCaption;  // "left" or "running for"
    std::vector<StatusWorkload> workloads;
    std::optional<std::string> battery;  // nothing without a battery
    std::string batteryIcon;
    std::string temperature;  // "72°C", "Hot" or "unknown"
    std::vector<MenuItem> actions;
};

// Freedesktop symbolic names, found in Adwaita.
std::string batteryIconName(const BatteryMonitor::Snapshot& battery);

StatusView buildStatusView(const StateFacts& facts);

// The line under the state when the desktop shows no tray icons; on GNOME
// with where to get them.
std::string noTrayNotice(bool gnome);

// "Off" when off; "Active" while the lock is held; otherwise why not yet.
std::string runStateText(const KeepAwakeMode& mode, bool assertionActive);
// "Charging", "Plugged in" or "On battery".
std::string powerText(const BatteryMonitor::Snapshot& battery);
// Rounded to the whole second, as "01:02:03".
std::string clockText(double seconds);

}  // namespace vigilo
