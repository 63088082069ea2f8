#pragma once

#include "support/clock.h"

namespace vigilo {

// A moment as the wall clock on this computer shows it.
struct LocalTimeOfWeek {
    int weekday = 1;  // 1 = Monday ... 7 = Sunday
    int minutes = 0;  // since local midnight: hours x 60 + minutes
    bool operator==(const LocalTimeOfWeek&) const = default;
};

// `time` in the C library's local time zone, taken afresh from TZ (or the
// system's zone when TZ is unset) at every call, so a change of zone or of
// daylight saving shows at once. Monday 00:00 when the time cannot be
// converted.
LocalTimeOfWeek localTimeOfWeek(WallTime time);

}  // namespace vigilo
