#pragma once

#include <string>
#include <vector>

#include "activity/activity_event.h"
#include "support/clock.h"

namespace vigilo {

// Why the computer was kept awake, as the dashboard's band colours it.
enum class AwakeReason { autoMode, timer, manual, rule, closedLid };

struct AwakeSpan {
    WallTime from;
    WallTime to;
    AwakeReason reason;
    bool operator==(const AwakeSpan&) const = default;
};

inline constexpr auto kAwakeBandLength = std::chrono::hours(24);

// When the computer was kept awake over the 24 hours up to `now`, and why,
// from the activity log (in any order): a keep-awake from its start to its
// stop, closed-lid mode and a rule's hold likewise. What is still on ends at
// `now`; a launch ends whatever the previous run left open (it stopped
// without a word). Spans are cut to the 24 hours; events after `now` (a
// clock set back) are left out. Sorted by start, then reason.
std::vector<AwakeSpan> awakeBand(const std::vector<ActivityEvent>& events, WallTime now);

// The same spans over any stretch from `from` to `now`.
std::vector<AwakeSpan> awakeSpans(const std::vector<ActivityEvent>& events, WallTime from, WallTime now);

struct DayHours {
    std::string day;  // "Mon", translated
    double hours = 0;
    bool operator==(const DayHours&) const = default;
};

// Hours kept awake (for any reason, overlaps counted once) on each of the
// seven local calendar days up to and including today, oldest first.
std::vector<DayHours> hoursAwakeByDay(const std::vector<ActivityEvent>& events, WallTime now);

// "Auto Mode", "Timer", "Manual", "Rule", "Closed-lid", translated.
std::string awakeReasonLabel(AwakeReason reason);

}  // namespace vigilo
