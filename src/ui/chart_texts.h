#pragma once

#include <string>
#include <vector>

#include "ui/awake_band.h"
#include "ui/readings_history.h"

namespace vigilo {

// What the charts show, as text for screen readers: the figures, not the
// shapes. Empty series say so rather than nothing.

// "Kept awake 3 h 10 min in the last 24 hours: Auto Mode 2 h 00 min, Timer 1 h 10 min."
std::string awakeBandText(const std::vector<AwakeSpan>& spans);
// "Temperature over the last hour: 58 to 71 °C, now 71 °C." (or "not measured")
std::string readingsText(const char* what, const char* unit, const std::vector<ReadingRun>& runs);
// "Monday 2.5 hours, Tuesday 0 hours, …"
std::string weekBarsText(const std::vector<std::pair<std::string, double>>& hoursByDay);

}  // namespace vigilo
