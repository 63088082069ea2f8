#pragma once

#include <optional>
#include <string_view>

namespace vigilo {

// What an activity event records. The JSON form is the case name.
enum class ActivityKind {
    launched,
    keepAwakeStarted,
    keepAwakeStopped,
    clamshellOn,
    clamshellOff,
    autoStopped,
    batteryWarn,
    batteryCritical,
    batteryForceSleep,
    thermalCritical,
    timerFinished,
    taskFinished,
    allTasksFinished,
    crashGuardArmed,
    crashGuardRecovered,
    safeResetApplied,
    agentStuck,
    networkLost,
    mqttConnected,
    mqttDisconnected,
    ruleHoldStarted,
    ruleHoldEnded,
};

inline constexpr int kActivityKindCount = 22;

std::string_view activityKindName(ActivityKind kind);

// The kind with exactly this name (case matters); nullopt for any other text.
std::optional<ActivityKind> activityKindFromName(std::string_view name);

// The English title format: "%d" takes the event's value, "%@" its text and
// "%%" is a literal percent sign. Look it up with tr() before filling it in.
const char* activityTitleFormat(ActivityKind kind);

// The name of the symbol shown as the event's icon.
std::string_view activitySymbol(ActivityKind kind);

}  // namespace vigilo
