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
// description), are drawn in the window's palette, light or dark, and name
// their figures for screen readers.
TEST(Charts, FollowTheWindowsPaletteAndNameTheirFigures) {
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

}  // namespace
}  // namespace vigilo
