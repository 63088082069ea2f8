#include "rules/default_rules.h"

#include "activity/activity_event.h"
#include "detection/process_scan.h"
#include "support/tr.h"

namespace vigilo {
namespace {

using C = RuleCondition;
using A = RuleAction;

Rule builtIn(const char* name, std::vector<RuleCondition> conditions, std::vector<RuleAction> actions,
             std::int64_t cooldownSeconds, WallTime now) {
    return Rule{makeUuid(), tr(name),   true, std::move(conditions), std::move(actions), cooldownSeconds,
                std::nullopt, true, now,  now};
}

Rule keepAwakeFor(const char* name, const char* pattern, FanPreset preset, WallTime now) {
    return builtIn(name, {C::ProcessRunning{pattern}}, {A::StartKeepAwake{}, A::SetCoolingPreset{preset}}, 300, now);
}

}  // namespace

std::vector<Rule> defaultRules(WallTime now) {
    return {
        keepAwakeFor("Claude Code \u2192 keep awake + AI cooling", "claude", FanPreset::aiWorkload, now),
        keepAwakeFor("Cursor \u2192 keep awake + AI cooling", "cursor", FanPreset::aiWorkload, now),
        keepAwakeFor("Docker \u2192 keep awake + balanced cooling", "docker", FanPreset::balanced, now),
        keepAwakeFor("Ollama \u2192 keep awake + AI cooling", "ollama", FanPreset::aiWorkload, now),
        builtIn("Battery < 10% \u2192 notify", {C::BatteryBelow{10}, C::OnBatteryPower{}},
                {A::Notify{tr("Battery low"), tr("Vigilo is keeping an eye on your battery.")}}, 600, now),
        builtIn("Battery < 5% \u2192 sleep the computer", {C::BatteryBelow{5}, C::OnBatteryPower{}}, {A::SleepMac{}},
                600, now),
        builtIn("Temperature > 90\u00b0C for 5 min \u2192 max fans + notify", {C::TemperatureAbove{90, 300}},
                {A::SetCoolingPreset{FanPreset::emergencyMax},
                 A::Notify{tr("Computer running hot"), tr("Fans maxed. Consider easing the load.")}},
                600, now),
        builtIn("Temperature > 95\u00b0C for 2 min \u2192 sleep the computer", {C::TemperatureAbove{95, 120}},
                {A::SleepMac{}}, 600, now),
        builtIn("No AI workload for 10 min \u2192 stop keep-awake", {C::NoMatchingWorkloadFor{600}},
                {A::StopKeepAwake{}}, 300, now),
    };
}

std::optional<Rule> customProcessRule(std::string_view processName, WallTime now) {
    const auto normalized = normalizePatterns({std::string(processName)});
    if (normalized.empty()) return std::nullopt;
    const std::string& pattern = normalized.front();
    return Rule{makeUuid(),
                trFormat("{} \u2192 keep awake + AI cooling", pattern),
                true,
                {C::ProcessRunning{pattern}},
                {A::StartKeepAwake{}, A::SetCoolingPreset{FanPreset::aiWorkload}},
                300,
                std::nullopt,
                false,
                now,
                now};
}

}  // namespace vigilo
