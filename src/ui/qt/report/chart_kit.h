#pragma once

#include <vector>

#include "ui/awake_band.h"
#include "ui/readings_history.h"

class QWidget;

namespace vigilo {

// The windows' charts, drawn by libvigilo-charts.so: Qt Charts and the
// OpenGL libraries it brings are loaded when the first chart is made, so a
// tray whose dashboard and report are never opened does not carry them.
// Each make* gives an empty chart of its kind; each draw* replaces what the
// chart shows. Without the module each chart is a line of text with the
// same figures. Main thread only.
class ChartKit {
public:
    virtual ~ChartKit() = default;
    virtual QWidget* makeChart(int height, bool axes) = 0;
    virtual void drawAwakeBand(QWidget& chart, const std::vector<AwakeSpan>& spans, WallTime now) = 0;
    virtual void drawLastHour(QWidget& chart, const std::vector<ReadingRun>& temperature,
                              const std::vector<ReadingRun>& battery, WallTime now) = 0;
    virtual void drawSparkline(QWidget& chart, const std::vector<ReadingRun>& cpu, const std::vector<ReadingRun>& gpu,
                               WallTime now) = 0;
    virtual QWidget* makeWeekChart() = 0;
    virtual void drawWeekBars(QWidget& chart, const std::vector<DayHours>& days) = 0;
};

// Loads the module on the first call.
ChartKit& chartKit();

}  // namespace vigilo

extern "C" {
// The module's one export: its kit, made once.
using VigiloChartKit = vigilo::ChartKit* (*)();
}

namespace vigilo {
inline constexpr const char* kChartsModuleFile = "libvigilo-charts.so";
inline constexpr const char* kChartKitSymbol = "vigilo_chart_kit";
}  // namespace vigilo
