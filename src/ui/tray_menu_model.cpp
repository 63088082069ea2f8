#include "ui/tray_menu_model.h"

#include <algorithm>
#include <chrono>

#include "app/app_state.h"
#include "support/tr.h"
#include "ui/why_facts.h"

namespace vigilo {
namespace {

using Kind = MenuItem::Kind;

MenuItem line(std::string text, int indent = 0) {
    MenuItem item;
    item.kind = Kind::line;
    item.text = std::move(text);
    item.enabled = false;
    item.indent = indent;
    return item;
}

MenuItem entry(const char* text, TrayAction action, bool enabled = true) {
    MenuItem item;
    item.kind = Kind::action;
    item.text = tr(text);
    item.action = action;
    item.enabled = enabled;
    return item;
}

MenuItem check(const char* text, TrayAction action, bool checked) {
    MenuItem item = entry(text, action);
    item.kind = Kind::check;
    item.checked = checked;
    return item;
}

MenuItem deferred(MenuItem item) {
    item.deferred = true;
    return item;
}

MenuItem separator() {
    MenuItem item;
    item.kind = Kind::separator;
    item.enabled = false;
    return item;
}

MenuItem submenu(const char* text, std::vector<MenuItem> children) {
    MenuItem item;
    item.kind = Kind::submenu;
    item.text = tr(text);
    item.children = std::move(children);
    return item;
}

std::string batteryLine(const BatteryMonitor::Snapshot& battery) {
    if (!battery.hasBattery) return tr("Battery: n/a (desktop computer)");
    std::string text = trFormat("Battery: {}%", battery.level);
    if (battery.isCharging) {
        text += " \u26a1\ufe0e";
    } else if (battery.isOnACPower) {
        text += tr(" (AC)");
    }
    return text;
}

std::optional<std::string> temperatureLine(const StateFacts& facts) {
    if (facts.temperature) return trFormat("Temperature: {:.0f}\u00b0C", *facts.temperature);
    // Only pressure is worth a line; without a sensor the menu stays quiet.
    if (facts.thermal > ThermalMonitor::Level::nominal) {
        return trFormat("Temperature: {}", ThermalMonitor::label(facts.thermal));
    }
    return std::nullopt;
}

std::string timeRemainingLine(const StateFacts& facts) {
    const auto left = std::chrono::duration<double>(*facts.mode.expiresAt() - facts.now).count();
    return trFormat("Time remaining: {}", AppState::format(std::max(left, 0.0)));
}

std::vector<MenuItem> modeEntries(const StateFacts& facts) {
    using K = KeepAwakeMode::Kind;
    std::vector<MenuItem> items;
    items.push_back(deferred(check("Auto Mode", TrayAction::toggleAutoWatch, facts.mode.is(K::autoWatch))));
    if (facts.mode.is(K::autoWatch)) {
        for (auto& text : autoModeLines(facts.matches, facts.useCpuDetection)) items.push_back(line(text, 1));
    }
    items.push_back(deferred(check("Keep Awake", TrayAction::toggleKeepAwake, facts.mode.is(K::on))));
    // Only where there is a lid to close, or to switch it off again.
    if (facts.lidClosed || facts.clamshellActive) {
        items.push_back(
            deferred(check("Closed-Lid Mode\u2026", TrayAction::toggleClamshell, facts.clamshellActive)));
    }
    if (!facts.mode.is(K::off)) items.push_back(entry("Stop", TrayAction::stop));
    return items;
}

std::vector<MenuItem> windowEntries(const AvailableWindows& w) {
    return {
        entry("Dashboard\u2026", TrayAction::openDashboard, w.dashboard),
        entry("Smart Rules\u2026", TrayAction::openSmartRules, w.smartRules),
        entry("Alerts\u2026", TrayAction::openAlerts, w.alerts),
        entry("Weekly Report\u2026", TrayAction::openWeeklyReport, w.weeklyReport),
        entry("Activity Log\u2026", TrayAction::openActivityLog, w.activityLog),
        entry("What Keeps It Awake\u2026", TrayAction::openWhy, w.why),
        entry("Show Status Window\u2026", TrayAction::openStatusWindow, w.status),
    };
}

std::vector<MenuItem> timerEntries() {
    struct Choice {
        const char* text;
        double seconds;
    };
    static constexpr Choice kChoices[] = {
        {"30 minutes", 1800}, {"1 hour", 3600}, {"2 hours", 7200}, {"4 hours", 14400}};
    std::vector<MenuItem> items;
    for (const auto& choice : kChoices) {
        MenuItem item = deferred(entry(choice.text, TrayAction::startTimer));
        item.timerSeconds = choice.seconds;
        items.push_back(std::move(item));
    }
    return items;
}

MenuItem runCommandEntry(const StateFacts& facts, const AvailableWindows& w) {
    const bool running = facts.mode.is(KeepAwakeMode::Kind::runCommand);
    MenuItem item = running ? check("Running Task\u2026", TrayAction::openRunCommand, true)
                            : entry("Run Command\u2026", TrayAction::openRunCommand);
    item.enabled = w.runCommand;
    return item;
}

std::vector<MenuItem> moreEntries(const StateFacts& facts, const AvailableWindows& w) {
    std::vector<MenuItem> items;
    // Only with a battery to charge, or to switch it off again.
    const bool chargingOnly = facts.mode.is(KeepAwakeMode::Kind::chargingOnly);
    if (facts.battery.hasBattery || chargingOnly) {
        items.push_back(check("Keep Awake While Charging", TrayAction::toggleChargingOnly, chargingOnly));
    }
    std::vector<MenuItem> rest{
        submenu("Timer", timerEntries()),
        runCommandEntry(facts, w),
        check("Also Prevent Display Sleep", TrayAction::togglePreventDisplaySleep, facts.preventDisplaySleep),
        check("Launch at Login", TrayAction::toggleLaunchAtLogin, facts.launchAtLogin),
        separator(),
        entry("Install vigilo CLI\u2026", TrayAction::installCli),
        entry("Show Onboarding\u2026", TrayAction::showOnboarding, w.onboarding),
    };
    items.insert(items.end(), rest.begin(), rest.end());
    return items;
}

}  // namespace

std::vector<std::string> trayInfoLines(const StateFacts& facts) {
    std::vector<std::string> lines{statusLineWithOthers(facts)};
    if (!facts.alsoKeepingAwake.empty()) lines.push_back(trFormat("Also keeping awake: {}", facts.alsoKeepingAwake));
    lines.push_back(batteryLine(facts.battery));
    if (auto temperature = temperatureLine(facts)) lines.push_back(*temperature);
    if (facts.mode.is(KeepAwakeMode::Kind::timer)) lines.push_back(timeRemainingLine(facts));
    if (facts.lidClosed) lines.push_back(trFormat("Lid: {}", *facts.lidClosed ? tr("Closed") : tr("Open")));
    return lines;
}

std::vector<std::string> autoModeLines(const std::vector<WatchMatch>& matches, bool useCpuDetection) {
    if (matches.empty()) return {tr("Waiting for AI tasks\u2026")};
    std::vector<std::string> lines;
    const std::size_t listed = std::min(matches.size(), kMaxListedMatches);
    for (std::size_t i = 0; i < listed; ++i) {
        const auto& match = matches[i];
        std::string text = "\u2022 " + match.displayName;
        if (useCpuDetection) text += trFormat("  {:.0f}%", match.cpuPercent);
        if (match.gpuPercent >= 0) {
            text += match.gpuSource == "device" ? trFormat(" \u00b7 GPU (whole device) {:.0f}%", match.gpuPercent)
                                                : trFormat(" \u00b7 GPU {:.0f}%", match.gpuPercent);
        }
        if (!match.isActive) text += std::string(" ") + tr("(idle)");
        lines.push_back(std::move(text));
    }
    if (matches.size() > listed) lines.push_back(trFormat("\u2026and {} more", matches.size() - listed));
    return lines;
}

std::string missingHardwareNote(bool hasLid, bool hasBattery) {
    if (!hasLid && !hasBattery) {
        return tr("This computer has no lid and no battery, so the menu offers neither Closed-Lid Mode nor Keep "
                  "Awake While Charging.");
    }
    if (!hasLid) return tr("This computer has no lid, so the menu offers no Closed-Lid Mode.");
    if (!hasBattery) return tr("This computer has no battery, so the menu offers no Keep Awake While Charging.");
    return {};
}

std::vector<MenuItem> buildTrayMenu(const StateFacts& facts, const AvailableWindows& windows) {
    std::vector<MenuItem> menu;
    for (auto& text : trayInfoLines(facts)) menu.push_back(line(std::move(text)));
    menu.front().bold = true;
    menu.push_back(separator());
    for (auto& item : modeEntries(facts)) menu.push_back(std::move(item));
    menu.push_back(separator());
    menu.push_back(submenu("Windows", windowEntries(windows)));
    menu.push_back(submenu("More", moreEntries(facts, windows)));
    menu.push_back(separator());
    // No keyboard shortcuts: a tray menu never has the key focus they need.
    menu.push_back(entry("Settings\u2026", TrayAction::openSettings, windows.settings));
    menu.push_back(entry("Quit Vigilo", TrayAction::quit));
    return menu;
}

}  // namespace vigilo
