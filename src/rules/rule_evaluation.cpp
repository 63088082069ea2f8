#include "rules/rule_evaluation.h"

#include <algorithm>

#include "detection/process_scan.h"
#include "rules/overloaded.h"

namespace vigilo {
namespace {

// The set is sorted, so the names beginning with `prefix` start at its lower bound.
bool someNameBeginsWith(const std::set<std::string>& names, const std::string& prefix) {
    auto it = names.lower_bound(prefix);
    return it != names.end() && it->starts_with(prefix);
}

// A window across midnight belongs to the day it opens on: after midnight
// it is still open if it opened the day before.
bool inWindow(std::int64_t now, int weekday, const RuleCondition::TimeWindow& window) {
    const int yesterday = weekday == 1 ? 7 : weekday - 1;
    if (window.endMinutes < window.startMinutes) {
        return (now >= window.startMinutes && containsWeekday(window.weekdays, weekday)) ||
               (now < window.endMinutes && containsWeekday(window.weekdays, yesterday));
    }
    return window.startMinutes <= now && now < window.endMinutes && containsWeekday(window.weekdays, weekday);
}

}  // namespace

bool someNameMatches(const std::set<std::string>& names, std::string_view pattern) {
    const auto normalized = normalizePatterns({std::string(pattern)});
    return !normalized.empty() && someNameBeginsWith(names, normalized.front());
}

RuleFacts ruleFacts(const RuleInputs& inputs, const std::set<std::string>& processNames) {
    RuleFacts facts{inputs, processNames};
    facts.names.insert(inputs.appNames.begin(), inputs.appNames.end());
    for (const std::string& pattern : normalizePatterns(inputs.watchPatterns)) {
        if (someNameBeginsWith(facts.names, pattern)) {
            facts.workloadRunning = true;
            break;
        }
    }
    return facts;
}

bool conditionHolds(const RuleCondition& condition, const RuleFacts& facts) {
    using C = RuleCondition;
    const RuleInputs& in = facts.inputs;
    return std::visit(
        Overloaded{
            [&](const C::ProcessRunning& c) { return someNameMatches(facts.names, c.pattern); },
            [&](const C::BatteryBelow& c) { return in.hasBattery && in.batteryPercent < c.percent; },
            [&](const C::BatteryAbove& c) { return in.hasBattery && in.batteryPercent > c.percent; },
            // NaN on either side compares false, as it should.
            [&](const C::TemperatureAbove& c) { return in.temperatureC.value_or(-1.0) >= c.celsius; },
            [&](const C::OnBatteryPower&) { return in.hasBattery && !in.onAC; },
            [&](const C::OnACPower&) { return in.onAC; },
            [&](const C::LidClosed&) { return in.lidClosed; },
            [&](const C::NoMatchingWorkloadFor&) { return !facts.workloadRunning; },
            [&](const C::TimeWindow& c) { return inWindow(in.nowMinutes, in.nowWeekday, c); },
            [&](const C::RemoteSessionActive&) { return in.remoteSessionActive; },
        },
        condition.value);
}

bool conditionsHold(const std::vector<RuleCondition>& conditions, const RuleFacts& facts) {
    return std::ranges::all_of(conditions, [&](const RuleCondition& c) { return conditionHolds(c, facts); });
}

}  // namespace vigilo
