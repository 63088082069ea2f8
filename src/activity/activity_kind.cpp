#include "activity/activity_kind.h"

#include <array>

namespace vigilo {

namespace {

struct KindInfo {
    std::string_view name;
    const char* title;
    std::string_view symbol;
};

// In the order of the enumeration.
constexpr std::array<KindInfo, kActivityKindCount> kKinds{{
    {"launched", "Vigilo launched", "power"},
    {"keepAwakeStarted", "Keep-awake on \u2014 %@", "sun.max.fill"},
    {"keepAwakeStopped", "Keep-awake off", "moon.zzz"},
    {"clamshellOn", "Closed-lid mode on", "laptopcomputer.and.arrow.down"},
    {"clamshellOff", "Closed-lid mode off", "laptopcomputer"},
    {"autoStopped", "Auto-stopped at %d%% battery", "battery.25"},
    {"batteryWarn", "Battery low \u2014 %d%%", "battery.25"},
    {"batteryCritical", "Battery critical \u2014 %d%%", "battery.0"},
    {"batteryForceSleep", "Slept the computer at %d%% battery", "powersleep"},
    {"thermalCritical", "Computer got very hot \u2014 backed off", "thermometer.high"},
    {"timerFinished", "Timer finished", "timer"},
    {"taskFinished", "Command finished (exit %d)", "terminal.fill"},
    {"allTasksFinished", "All watched tasks finished", "checkmark.circle"},
    {"crashGuardArmed", "Crash guard armed", "shield"},
    {"crashGuardRecovered", "Recovered from a previous crash", "shield.lefthalf.filled"},
    {"safeResetApplied", "Safe reset applied \u2014 system sleep restored", "checkmark.shield"},
    {"agentStuck", "Watchdog: %@", "exclamationmark.triangle"},
    {"networkLost", "Network connection lost", "wifi.slash"},
    {"mqttConnected", "MQTT connected to %@", "checkmark.circle"},
    {"mqttDisconnected", "MQTT connection lost", "wifi.slash"},
    {"ruleHoldStarted", "Kept awake by rule: %@", "sun.max.fill"},
    {"ruleHoldEnded", "Rule stopped keeping awake: %@", "moon.zzz"},
}};

const KindInfo& info(ActivityKind kind) { return kKinds[static_cast<std::size_t>(kind)]; }

}  // namespace

std::string_view activityKindName(ActivityKind kind) { return info(kind).name; }

std::optional<ActivityKind> activityKindFromName(std::string_view name) {
    for (std::size_t i = 0; i < kKinds.size(); ++i) {
        if (kKinds[i].name == name) return static_cast<ActivityKind>(i);
    }
    return std::nullopt;
}

const char* activityTitleFormat(ActivityKind kind) { return info(kind).title; }

std::string_view activitySymbol(ActivityKind kind) { return info(kind).symbol; }

}  // namespace vigilo
