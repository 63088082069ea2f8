// The controller's status texts.
#include <cmath>

#include "app/app_state.h"
#include "detection/process_watcher.h"
#include "safety/cooling_manager.h"
#include "support/tr.h"

namespace vigilo {

std::string AppState::format(double seconds) {
    const auto t = static_cast<long long>(std::llround(std::isfinite(seconds) ? std::max(seconds, 0.0) : 0.0));
    if (t >= 3600) return trFormat("{}h {:02}m", t / 3600, (t % 3600) / 60);
    if (t >= 60) return trFormat("{}m {:02}s", t / 60, t % 60);
    return trFormat("{}s", t);
}

std::string AppState::liveStatus() const {
    if (c_.thermal.currentLevel() == ThermalMonitor::Level::critical) {
        return tr("Too hot \u2014 easing off to protect your computer");
    }
    const KeepAwakeMode& current = mode.get();
    const bool lidMode = clamshellActive.get();
    switch (current.kind()) {
    case KeepAwakeMode::Kind::timer: {
        double left = 0;
        if (auto end = timerExpiresAt.get()) {
            left = std::chrono::duration<double>(*end - c_.loop.clock().wallNow()).count();
        }
        return trFormat("Keeping awake \u00b7 {} left", format(std::max(left, 0.0)));
    }
    case KeepAwakeMode::Kind::off:
        if (auto held = ruleHoldText()) return *held;
        return lidMode ? tr("Closed-Lid on \u00b7 awake with the lid shut") : tr("Idle \u00b7 your computer sleeps normally");
    case KeepAwakeMode::Kind::on:
        return lidMode ? tr("Keeping your computer awake \u00b7 Closed-Lid on") : tr("Keeping your computer awake");
    case KeepAwakeMode::Kind::chargingOnly:
        if (c_.battery.currentSnapshot().isOnACPower) return tr("Keeping awake while charging");
        if (auto held = ruleHoldText()) return *held;
        return tr("Waiting for AC power before keeping awake\u2026");
    case KeepAwakeMode::Kind::runCommand: return tr("Keeping awake while your command runs");
    case KeepAwakeMode::Kind::autoWatch: break;
    }
    const auto& matches = c_.watcher.matches.get();
    if (matches.empty()) {
        if (auto held = ruleHoldText()) return *held;
        return tr("Auto Mode on \u00b7 waiting for AI tasks\u2026");
    }
    std::string names = matches[0].displayName;
    if (matches.size() >= 2) names += ", " + matches[1].displayName;
    if (matches.size() <= 2) return trFormat("Auto Mode \u00b7 keeping awake ({})", names);
    return trFormat("Auto Mode \u00b7 keeping awake ({} +{})", names, matches.size() - 2);
}

std::optional<std::string> AppState::ruleHoldText() const {
    if (const auto& name = keptAwakeByRule.get()) return trFormat("Kept awake by rule: {}", *name);
    return std::nullopt;
}

std::optional<std::string> AppState::keepAwakeFailure() const {
    const bool asked = !mode.get().is(KeepAwakeMode::Kind::off) || keptAwakeByRule.get();
    if (!asked || !assertions_.systemAssertionRefused()) return std::nullopt;
    return tr("could not keep the computer awake: no power service (logind, GNOME or KDE) accepted the lock");
}

std::string AppState::intentStatusText() const {
    std::string text = mode.get().shortLabel();
    if (auto degrees = c_.cooling.temperature().get()) text += " \u00b7 " + trFormat("{:.0f}\u00b0C", *degrees);
    const auto& battery = c_.battery.currentSnapshot();
    if (battery.hasBattery) text += " \u00b7 " + std::to_string(battery.level) + "%";
    return text;
}

}  // namespace vigilo
