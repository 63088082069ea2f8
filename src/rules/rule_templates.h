#pragma once

#include <optional>

#include "rules/rule.h"
#include "support/clock.h"

namespace vigilo {

// The days and times of an "On a schedule" rule, as the rules window edits
// them. Minutes count from local midnight; an end before the start runs
// past midnight.
struct Schedule {
    WeekdaySet days = kMondayToFriday;
    int startMinutes = 9 * 60;
    int endMinutes = 18 * 60;
    bool operator==(const Schedule&) const = default;
};

// The rules the window's "Add a rule" makes besides the process rule
// (customProcessRule): custom, enabled, without cooldown, each keeping the
// computer awake while it holds, named after what it does, e.g.
// "Weekdays 09:00–18:00 → keep awake". A schedule with no day is made
// for every day.
Rule scheduleRule(const Schedule& schedule, WallTime now);
Rule remoteSessionRule(WallTime now);

// The schedule of a rule whose only condition is a time window; nothing for
// any other rule.
std::optional<Schedule> scheduleOf(const Rule& rule);

// Gives a schedule rule new days and times. Its name follows when it still
// is the one the window made for the old schedule; a name the person
// chose stays.
void changeSchedule(Rule& rule, const Schedule& schedule, WallTime now);

}  // namespace vigilo
