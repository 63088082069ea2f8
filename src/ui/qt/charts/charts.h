#pragma once

#include <QString>
#include <string>
#include <utility>
#include <vector>

#include "ui/awake_band.h"
#include "ui/readings_history.h"

class QChartView;
class QWidget;

namespace vigilo {

// The windows' charts, drawn with Qt Charts in the window's own palette
// (light or dark) and named for screen readers with their figures. Each
// make* gives an empty chart of its size; each draw* replaces its contents.

QChartView* makeChart(int height, bool axes);

// The last 24 hours as a band, one colour per reason.
void drawAwakeBand(QChartView& view, const std::vector<AwakeSpan>& spans, WallTime now);

// Temperature (left axis) and battery (right axis) over the last hour.
void drawLastHour(QChartView& view, const std::vector<ReadingRun>& temperature,
                  const std::vector<ReadingRun>& battery, WallTime now);

// A workload's CPU (and GPU) over the last ten minutes, without axes.
void drawSparkline(QChartView& view, const std::vector<ReadingRun>& cpu, const std::vector<ReadingRun>& gpu,
                   WallTime now);

}  // namespace vigilo
