#include "ui/status_view_model.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include <fmt/format.h>

#include "support/tr.h"
#include "ui/why_facts.h"

namespace vigilo {
namespace {

double secondsBetween(WallTime from, WallTime to) { return std::chrono::duration<double>(to - from).count(); }

ViewRow temperatureRow(const StateFacts& facts) {
    if (!facts.temperature) return {tr("Temperature"), ThermalMonitor::label(facts.thermal)};
    const double degrees = *facts.temperature;
    const Tone tone = degrees >= 90 ? Tone::red : degrees >= 80 ? Tone::orange : Tone::secondary;
    return {tr("Temperature"), trFormat("{:.0f}\u00b0C", degrees), tone};
}

std::optional<ViewRow> fanRow(const StateFacts& facts) {
    if (!facts.fanControlSupported || facts.fans.empty()) return std::nullopt;
    return ViewRow{tr("Fan"), trFormat("{:.0f} rpm \u00b7 {}", facts.fans.front().actual, shownName(facts.fanPreset))};
}

std::vector<ViewRow> statusRows(const StateFacts& facts) {
    std::vector<ViewRow> rows{{tr("Power"), powerText(facts.battery)}};
    if (facts.battery.hasBattery) rows.push_back({tr("Battery"), fmt::format("{}%", facts.battery.level)});
    if (!facts.mode.is(KeepAwakeMode::Kind::off) && facts.startedAt) {
        rows.push_back({tr("Running for"), clockText(secondsBetween(*facts.startedAt, facts.now))});
    }
    if (auto end = facts.mode.expiresAt()) {
        rows.push_back({tr("Time left"), clockText(std::max(secondsBetween(facts.now, *end), 0.0))});
    }
    rows.push_back(temperatureRow(facts));
    if (auto fan = fanRow(facts)) rows.push_back(*fan);
    return rows;
}

std::string temperatureText(const StateFacts& facts) {
    if (facts.temperature) return trFormat("{:.0f}\u00b0C", *facts.temperature);
    return ThermalMonitor::label(facts.thermal);
}

MenuItem button(const char* text, TrayAction action, bool checked = false) {
    MenuItem item;
    item.kind = MenuItem::Kind::check;
    item.text = tr(text);
    item.action = action;
    item.checked = checked;
    item.deferred = true;
    return item;
}

// Start or Stop, Auto Mode and an hour's timer, as the tray menu has them.
std::vector<MenuItem> cardActions(const KeepAwakeMode& mode) {
    using K = KeepAwakeMode::Kind;
    std::vector<MenuItem> actions;
    if (mode.is(K::off)) {
        actions.push_back(button("Start", TrayAction::toggleKeepAwake));
    } else {
        MenuItem stop = button("Stop", TrayAction::stop);
        stop.kind = MenuItem::Kind::action;
        actions.push_back(stop);
    }
    actions.push_back(button("Auto Mode", TrayAction::toggleAutoWatch, mode.is(K::autoWatch)));
    MenuItem hour = button("1 Hour", TrayAction::startTimer, mode.is(K::timer));
    hour.kind = MenuItem::Kind::action;
    hour.timerSeconds = 3600;
    actions.push_back(hour);
    return actions;
}

void fillCard(StatusView& view, const StateFacts& facts) {
    if (auto end = facts.mode.expiresAt()) {
        view.time = clockText(std::max(secondsBetween(facts.now, *end), 0.0));
        view.timeCaption = tr("left");
    } else if (!facts.mode.is(KeepAwakeMode::Kind::off) && facts.startedAt) {
        view.time = clockText(secondsBetween(*facts.startedAt, facts.now));
        view.timeCaption = tr("running for");
    }
    for (const auto& match : facts.matches) {
        view.workloads.push_back({match.displayName, facts.useCpuDetection ? match.cpuPercent : 0,
                                  match.gpuPercent, !match.isActive});
    }
    if (facts.battery.hasBattery) {
        view.battery = trFormat("{}% \u00b7 {}", facts.battery.level, powerText(facts.battery));
    } else {
        view.battery = std::nullopt;
    }
    view.batteryIcon = batteryIconName(facts.battery);
    view.temperature = temperatureText(facts);
    view.actions = cardActions(facts.mode);
}

}  // namespace

std::string batteryIconName(const BatteryMonitor::Snapshot& battery) {
    if (!battery.hasBattery) return "ac-adapter-symbolic";
    const char* level = battery.level >= 90 ? "full" : battery.level >= 50 ? "good" : battery.level >= 20 ? "low" : "caution";
    return fmt::format("battery-{}{}-symbolic", level, battery.isCharging ? "-charging" : "");
}

std::string runStateText(const KeepAwakeMode& mode, bool assertionActive) {
    if (mode.is(KeepAwakeMode::Kind::off)) return tr("Off");
    if (assertionActive) return tr("Active");
    if (mode.is(KeepAwakeMode::Kind::chargingOnly)) return tr("Waiting for power");
    if (mode.is(KeepAwakeMode::Kind::autoWatch)) return tr("Idle \u2014 watching");
    return tr("Paused");
}

std::string powerText(const BatteryMonitor::Snapshot& battery) {
    if (battery.isCharging) return tr("Charging");
    if (battery.isOnACPower) return tr("Plugged in");
    return tr("On battery");
}

std::string clockText(double seconds) {
    const auto total = static_cast<long long>(std::llround(std::max(seconds, 0.0)));
    return fmt::format("{:02}:{:02}:{:02}", total / 3600, (total % 3600) / 60, total % 60);
}

std::string noTrayNotice(bool gnome) {
    std::string text = tr("Your desktop shows no tray icons. Vigilo keeps running in the background; open it again "
                          "from your applications menu.");
    if (gnome) {
        text += ' ';
        text += tr("To get the icon, install the extension \u201cAppIndicator and KStatusNotifierItem Support\u201d.");
    }
    return text;
}

StatusView buildStatusView(const StateFacts& facts) {
    StatusView view;
    view.icon = modeIcon(facts.mode, facts.clamshellActive);
    view.modeLabel = facts.mode.shortLabel();
    view.runState = runStateText(facts.mode, facts.assertionActive);
    view.liveStatus = statusLineWithOthers(facts);
    view.message = facts.lastUserMessage;
    view.rows = statusRows(facts);
    if (!facts.alsoKeepingAwake.empty()) view.othersLine = trFormat("Also keeping awake: {}", facts.alsoKeepingAwake);
    fillCard(view, facts);
    return view;
}

}  // namespace vigilo
