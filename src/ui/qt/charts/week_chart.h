#pragma once

#include <vector>

#include "ui/awake_band.h"

class QChartView;

namespace vigilo {

// The report's hours kept awake per day as bars (Qt Charts), in the window's
// palette, with the figures as its accessible description.
QChartView* makeWeekChart();
void drawWeekBars(QChartView& view, const std::vector<DayHours>& days);

}  // namespace vigilo
