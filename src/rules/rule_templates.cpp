#include "rules/rule_templates.h"

#include "activity/activity_event.h"
#include "support/tr.h"

namespace vigilo {
namespace {

using C = RuleCondition;
using A = RuleAction;

C::TimeWindow windowOf(const Schedule& schedule) {
    const WeekdaySet days = (schedule.days & kEveryDay) == 0 ? kEveryDay : schedule.days & kEveryDay;
    return {schedule.startMinutes, schedule.endMinutes, days};
}

std::string keepAwakeName(const RuleCondition& condition) {
    return trFormat("{} \u2192 keep awake", condition.localizedSummary());
}

Rule heldRule(std::string name, RuleCondition condition, WallTime now) {
    return Rule{makeUuid(), std::move(name), true, {std::move(condition)}, {A::KeepAwakeWhileHeld{}}, 0,
                std::nullopt, false, now, now};
}

}  // namespace

Rule scheduleRule(const Schedule& schedule, WallTime now) {
    const C window = windowOf(schedule);
    return heldRule(keepAwakeName(window), window, now);
}

Rule remoteSessionRule(WallTime now) {
    const C remote = C::RemoteSessionActive{};
    return heldRule(keepAwakeName(remote), remote, now);
}

std::optional<Schedule> scheduleOf(const Rule& rule) {
    if (rule.conditions.size() != 1) return std::nullopt;
    const auto* window = std::get_if<C::TimeWindow>(&rule.conditions.front().value);
    if (!window) return std::nullopt;
    return Schedule{window->weekdays, static_cast<int>(window->startMinutes), static_cast<int>(window->endMinutes)};
}

void changeSchedule(Rule& rule, const Schedule& schedule, WallTime now) {
    if (!scheduleOf(rule)) return;
    const bool madeName = rule.name == keepAwakeName(rule.conditions.front());
    rule.conditions.front() = windowOf(schedule);
    if (madeName) rule.name = keepAwakeName(rule.conditions.front());
    rule.updatedAt = now;
}

}  // namespace vigilo
