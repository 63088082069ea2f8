#include "ui/dashboard_view_model.h"

#include <algorithm>
#include <chrono>

#include <fmt/format.h>

#include "support/tr.h"

namespace vigilo {
namespace {

constexpr double kHighRiskDegrees = 95.0;
constexpr int kBatteryRiskPercent = 10;

Tone safetyTone(Safety safety) {
    switch (safety) {
        case Safety::good: return Tone::green;
        case Safety::runningWarm: return Tone::orange;
        case Safety::highThermalRisk:
        case Safety::batteryRisk: return Tone::red;
    }
    return Tone::green;
}

WorkloadRow workloadRow(const WatchMatch& match, WallTime now) {
    WorkloadRow row;
    row.name = match.displayName;
    row.state = match.isActive ? tr("Running") : tr("Idle");
    row.stateTone = match.isActive ? Tone::green : Tone::secondary;
    row.cpu = trFormat("{:.0f}% CPU", match.cpuPercent);
    if (match.gpuPercent >= 0) {
        row.gpu = match.gpuSource == "device" ? trFormat("{:.0f}% GPU (whole device)", match.gpuPercent)
                                              : trFormat("{:.0f}% GPU", match.gpuPercent);
    }
    row.runtime = workloadRuntimeText(std::chrono::duration<double>(now - match.firstSeenAt).count());
    return row;
}

std::vector<ViewRow> systemRows(const StateFacts& facts, Safety safety) {
    const std::string none = "\u2014";
    std::string temperature = facts.temperature ? trFormat("{:.0f}\u00b0C", *facts.temperature)
                                                : std::string(ThermalMonitor::label(facts.thermal));
    std::string battery = facts.battery.hasBattery ? fmt::format("{}%", facts.battery.level) : none;
    std::string fan = facts.fans.empty() ? none : trFormat("{:.0f} rpm", facts.fans.front().actual);
    return {
        {tr("Temperature"), std::move(temperature)},
        {tr("Battery"), std::move(battery)},
        {tr("Fan"), std::move(fan)},
        {tr("Lid"), lidText(facts.lidClosed)},
        {tr("Safety"), safetyLabel(safety), safetyTone(safety)},
    };
}

}  // namespace

Safety classifySafety(const StateFacts& facts) {
    if (facts.thermal == ThermalMonitor::Level::critical) return Safety::highThermalRisk;
    if (facts.temperature && *facts.temperature >= kHighRiskDegrees) return Safety::highThermalRisk;
    const auto& battery = facts.battery;
    if (battery.hasBattery && !battery.isOnACPower && battery.level <= kBatteryRiskPercent) return Safety::batteryRisk;
    if (facts.thermal == ThermalMonitor::Level::serious) return Safety::runningWarm;
    return Safety::good;
}

std::string safetyLabel(Safety safety) {
    switch (safety) {
        case Safety::good: return tr("Good");
        case Safety::runningWarm: return tr("Running warm");
        case Safety::highThermalRisk: return tr("High thermal risk");
        case Safety::batteryRisk: return tr("Battery risk");
    }
    return tr("Good");
}

std::string lidText(const std::optional<bool>& lidClosed) {
    if (!lidClosed) return "\u2014";
    return *lidClosed ? tr("Closed") : tr("Open");
}

std::string workloadRuntimeText(double seconds) {
    const auto minutes = static_cast<long long>(std::max(seconds, 0.0)) / 60;
    if (minutes < 60) return trFormat("{}m", minutes);
    return trFormat("{}h {:02}m", minutes / 60, minutes % 60);
}

DashboardView buildDashboardView(const StateFacts& facts) {
    DashboardView view;
    view.safety = classifySafety(facts);
    view.safetyText = safetyLabel(view.safety);
    view.safetyTone = safetyTone(view.safety);
    view.safetyIcon = view.safety == Safety::good ? "security-high-symbolic" : "dialog-warning-symbolic";
    for (const auto& match : facts.matches) view.workloads.push_back(workloadRow(match, facts.now));
    view.noWorkloadsText = tr(
        "No workloads detected. Turn on Auto Mode (or a Smart Rule) to track Claude Code, Cursor, Ollama, "
        "Docker\u2026");
    view.system = systemRows(facts, view.safety);
    for (const auto& alert : facts.recentAlerts) view.alerts.push_back({alert.message, alert.at});
    view.alertIcon = "dialog-warning-symbolic";
    return view;
}

}  // namespace vigilo
