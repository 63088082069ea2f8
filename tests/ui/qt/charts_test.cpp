#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QWidget>
#include <memory>

#include "ui/qt/report/chart_kit.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;

// The charts come from their module (a line of text would carry no
// description), are drawn in the window's palette, light or dark, and
// describe their figures for screen readers.
TEST(Charts, FollowTheWindowsPaletteAndDescribeTheirFigures) {
    const WallTime now = WallTime{} + 1'800'000'000s;
    for (const QColor window : {QColor(0xf6f5f4), QColor(0x242424)}) {
        std::unique_ptr<QWidget> chart(chartKit().makeChart(120, true));
        QPalette palette = chart->palette();
        palette.setColor(QPalette::Window, window);
        palette.setColor(QPalette::WindowText, window.lightness() < 128 ? Qt::white : Qt::black);
        chart->setPalette(palette);
        chart->resize(320, 120);
        chartKit().drawLastHour(*chart, {{{now - 10min, 60}, {now, 70}}}, {}, now);
        EXPECT_EQ(chart->accessibleDescription().toStdString(),
                  "Temperature over the last hour: 60 to 70 \u00b0C, now 70 \u00b0C. "
                  "Battery over the last hour: not measured.");
        const QColor corner = chart->grab().toImage().pixelColor(2, 2);
        EXPECT_EQ(corner.lightness() < 128, window.lightness() < 128) << corner.name().toStdString();
    }
}

// Many screen readers say a chart's name and nothing more: the figures are
// in it, for the band, the last hour and the week.
TEST(Charts, NameTheirFigures) {
    const WallTime now = WallTime{} + 1'800'000'000s;
    std::unique_ptr<QWidget> band(chartKit().makeChart(60, false));
    chartKit().drawAwakeBand(*band, {{now - 3h, now - 1h, AwakeReason::timer}}, now);
    std::unique_ptr<QWidget> lastHour(chartKit().makeChart(120, true));
    chartKit().drawLastHour(*lastHour, {}, {{{now - 10min, 80}, {now, 78}}}, now);
    std::unique_ptr<QWidget> week(chartKit().makeWeekChart());
    chartKit().drawWeekBars(*week, {{"Mon", 2.5}, {"Tue", 0}});

    const std::pair<QWidget*, std::string> charts[] = {
        {band.get(), "Kept awake 2 h 00 min in the last 24 hours: Timer 2 h 00 min."},
        {lastHour.get(),
         "Temperature over the last hour: not measured. Battery over the last hour: 78 to 80 %, now 78 %."},
        {week.get(), "Hours kept awake per day: Mon 2.5 h, Tue 0.0 h"},
    };
    for (const auto& [chart, name] : charts) EXPECT_EQ(chart->accessibleName().toStdString(), name);
}

}  // namespace
}  // namespace vigilo
