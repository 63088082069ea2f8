#pragma once

#include <string>

#include "support/clock.h"

namespace vigilo {

enum class RelativeTimeStyle {
    // Figures, and a name where the unit has one: "5 minutes ago",
    // "yesterday", "last week"; the activity list.
    numeric,
    // Words: "five minutes ago", "one day ago" (numbers up to 999 spelled
    // out); when a rule or an alert last fired.
    spelledOut,
};

// How long ago `then` was, seen from `now`, in the largest whole unit (a
// month counts 30 days, a year 365); "now" under a second, and "in 2 hours",
// "tomorrow" for a time ahead of `now` (a clock set back).
std::string relativeTimeText(WallTime then, WallTime now, RelativeTimeStyle style = RelativeTimeStyle::numeric);

}  // namespace vigilo
