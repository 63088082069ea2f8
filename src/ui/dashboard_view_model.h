#pragma once

#include <string>
#include <vector>

#include "ui/state_facts.h"
#include "ui/view_rows.h"

namespace vigilo {

inline constexpr const char* kDashboardWindowTitle = "Vigilo Dashboard";
inline constexpr int kDashboardWindowWidth = 480;
inline constexpr int kDashboardWindowHeight = 540;

// How safe it is to keep working on, first rule that holds.
enum class Safety { good, runningWarm, highThermalRisk, batteryRisk };

Safety classifySafety(const StateFacts& facts);
// "Good", "Running warm", "High thermal risk", "Battery risk", translated.
std::string safetyLabel(Safety safety);

struct WorkloadRow {
    std::string name;
    std::string state;  // "Running" or "Idle"
    Tone stateTone = Tone::green;
    std::string cpu;      // "12% CPU"
    std::string gpu;      // "80% GPU", "80% GPU (whole device)"; empty when not measured
    std::string runtime;  // "59m", "1h 00m"
};

struct AlertRow {
    std::string message;
    WallTime at;
};

// What the dashboard shows, redrawn every 2 seconds and on every change.
struct DashboardView {
    Safety safety = Safety::good;
    std::string safetyText;
    std::string safetyIcon;  // an icon-theme name
    Tone safetyTone = Tone::green;

    std::vector<WorkloadRow> workloads;
    std::string noWorkloadsText;  // shown when workloads is empty
    std::vector<ViewRow> system;
    std::vector<AlertRow> alerts;  // newest first
    std::string alertIcon;
};

DashboardView buildDashboardView(const StateFacts& facts);

// "Closed", "Open", or "—" when it cannot be read.
std::string lidText(const std::optional<bool>& lidClosed);
// Whole minutes under an hour ("59m"), else "1h 00m".
std::string workloadRuntimeText(double seconds);

}  // namespace vigilo
