// The entry point of libvigilo-charts.so.
#include <QChartView>

#include "ui/qt/charts/charts.h"
#include "ui/qt/charts/week_chart.h"
#include "ui/qt/report/chart_kit.h"

namespace vigilo {

namespace {

QChartView& view(QWidget& chart) { return static_cast<QChartView&>(chart); }

class QtChartKit final : public ChartKit {
public:
    QWidget* makeChart(int height, bool axes) override { return vigilo::makeChart(height, axes); }
    void drawAwakeBand(QWidget& chart, const std::vector<AwakeSpan>& spans, WallTime now) override {
        vigilo::drawAwakeBand(view(chart), spans, now);
    }
    void drawLastHour(QWidget& chart, const std::vector<ReadingRun>& temperature, const std::vector<ReadingRun>& battery,
                      WallTime now) override {
        vigilo::drawLastHour(view(chart), temperature, battery, now);
    }
    void drawSparkline(QWidget& chart, const std::vector<ReadingRun>& cpu, const std::vector<ReadingRun>& gpu,
                       WallTime now) override {
        vigilo::drawSparkline(view(chart), cpu, gpu, now);
    }
    QWidget* makeWeekChart() override { return vigilo::makeWeekChart(); }
    void drawWeekBars(QWidget& chart, const std::vector<DayHours>& days) override {
        vigilo::drawWeekBars(view(chart), days);
    }
};

}  // namespace

}  // namespace vigilo

extern "C" {

__attribute__((visibility("default"))) vigilo::ChartKit* vigilo_chart_kit() {
    static vigilo::QtChartKit kit;
    return &kit;
}

}  // extern "C"
