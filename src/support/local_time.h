#pragma once

#include "support/clock.h"

namespace vigilo {

// Minutes since local midnight (hours x 60 + minutes) of `time` in the
// process's time zone; 0 when the time cannot be converted.
int localMinutesOfDay(WallTime time);

}  // namespace vigilo
