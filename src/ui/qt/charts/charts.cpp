#include "ui/qt/charts/charts.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>
#include <array>

#include "support/tr.h"
#include "ui/chart_texts.h"

namespace vigilo {

namespace {

qint64 msecs(WallTime at) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
}

// A chart in the palette of the window it is in: dark windows, dark chart.
void followPalette(QChart& chart, const QWidget& view) {
    const QPalette palette = view.palette();
    const bool dark = palette.color(QPalette::Window).lightness() < 128;
    chart.setTheme(dark ? QChart::ChartThemeDark : QChart::ChartThemeLight);
    chart.setBackgroundBrush(palette.color(QPalette::Window));
    chart.setPlotAreaBackgroundVisible(false);
    chart.legend()->setLabelColor(palette.color(QPalette::WindowText));
    for (QAbstractAxis* axis : chart.axes()) {
        axis->setLabelsColor(palette.color(QPalette::WindowText));
        axis->setGridLineColor(palette.color(QPalette::Mid));
    }
}

void reset(QChart& chart) {
    chart.removeAllSeries();
    for (QAbstractAxis* axis : chart.axes()) {
        chart.removeAxis(axis);
        delete axis;
    }
}

QDateTimeAxis* timeAxis(QChart& chart, WallTime from, WallTime to, const char* format, int ticks) {
    auto* axis = new QDateTimeAxis;
    axis->setFormat(QString::fromLatin1(format));
    axis->setTickCount(ticks);
    axis->setRange(QDateTime::fromMSecsSinceEpoch(msecs(from)), QDateTime::fromMSecsSinceEpoch(msecs(to)));
    chart.addAxis(axis, Qt::AlignBottom);
    return axis;
}

QValueAxis* valueAxis(QChart& chart, double low, double high, Qt::Alignment side, bool visible = true) {
    auto* axis = new QValueAxis;
    axis->setRange(low, high);
    axis->setLabelFormat(QStringLiteral("%.0f"));
    axis->setTickCount(3);
    axis->setVisible(visible);
    chart.addAxis(axis, side);
    return axis;
}

// One line per run, in one colour and one legend entry.
void addRuns(QChart& chart, const std::vector<ReadingRun>& runs, const QString& name, QColor colour,
             QAbstractAxis* x, QAbstractAxis* y) {
    bool first = true;
    for (const auto& run : runs) {
        auto* series = new QLineSeries;
        series->setName(name);
        series->setColor(colour);
        for (const auto& point : run) series->append(static_cast<qreal>(msecs(point.at)), point.value);
        chart.addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
        if (!first) {
            for (QLegendMarker* marker : chart.legend()->markers(series)) marker->setVisible(false);
        }
        first = false;
    }
}

constexpr std::array<QRgb, 5> kReasonColours{0x3584e4, 0xe5a50a, 0x2ec27e, 0x9141ac, 0x865e3c};

}  // namespace

QChartView* makeChart(int height, bool axes) {
    auto* chart = new QChart;
    chart->setMargins(axes ? QMargins(4, 4, 4, 4) : QMargins(0, 0, 0, 0));
    chart->setBackgroundRoundness(0);
    chart->legend()->setVisible(axes);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setAnimationOptions(QChart::NoAnimation);
    auto* view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setFixedHeight(height);
    view->setFocusPolicy(Qt::TabFocus);  // so a screen reader's user reaches its text
    return view;
}

void drawAwakeBand(QChartView& view, const std::vector<AwakeSpan>& spans, WallTime now) {
    QChart& chart = *view.chart();
    reset(chart);
    auto* x = timeAxis(chart, now - kAwakeBandLength, now, "HH:mm", 5);
    auto* y = valueAxis(chart, 0, 1, Qt::AlignLeft, false);
    for (std::size_t reason = 0; reason < kReasonColours.size(); ++reason) {
        auto* upper = new QLineSeries;
        for (const auto& span : spans) {
            if (static_cast<std::size_t>(span.reason) != reason) continue;
            const auto from = static_cast<qreal>(msecs(span.from));
            const auto to = static_cast<qreal>(msecs(span.to));
            *upper << QPointF(from, 0) << QPointF(from, 1) << QPointF(to, 1) << QPointF(to, 0);
        }
        if (upper->count() == 0) {
            delete upper;
            continue;
        }
        auto* area = new QAreaSeries(upper);
        upper->setParent(area);
        area->setName(QString::fromStdString(awakeReasonLabel(static_cast<AwakeReason>(reason))));
        area->setColor(QColor(kReasonColours[reason]));
        area->setBorderColor(QColor(kReasonColours[reason]));
        chart.addSeries(area);
        area->attachAxis(x);
        area->attachAxis(y);
    }
    x->setGridLineVisible(false);
    followPalette(chart, view);
    // The figures in the name as well: many screen readers say only that.
    view.setAccessibleName(QString::fromStdString(awakeBandText(spans)));
    view.setAccessibleDescription(view.accessibleName());
    view.setToolTip(view.accessibleDescription());
}

void drawLastHour(QChartView& view, const std::vector<ReadingRun>& temperature,
                  const std::vector<ReadingRun>& battery, WallTime now) {
    QChart& chart = *view.chart();
    reset(chart);
    auto* x = timeAxis(chart, now - ReadingsHistory::kKept, now, "HH:mm", 5);
    double hottest = 60;
    for (const auto& run : temperature) {
        for (const auto& point : run) hottest = std::max(hottest, point.value);
    }
    auto* degrees = valueAxis(chart, 20, std::min(hottest + 10, 130.0), Qt::AlignLeft, !temperature.empty());
    auto* percent = valueAxis(chart, 0, 100, Qt::AlignRight, !battery.empty());
    addRuns(chart, temperature, QString::fromStdString(tr("Temperature (\u00b0C)")), QColor(0xe01b24), x, degrees);
    addRuns(chart, battery, QString::fromStdString(tr("Battery (%)")), QColor(0x2ec27e), x, percent);
    followPalette(chart, view);
    view.setAccessibleName(QString::fromStdString(readingsText("Temperature", "\u00b0C", temperature) + " " +
                                                  readingsText("Battery", "%", battery)));
    view.setAccessibleDescription(view.accessibleName());
    view.setToolTip(view.accessibleDescription());
}

void drawSparkline(QChartView& view, const std::vector<ReadingRun>& cpu, const std::vector<ReadingRun>& gpu,
                   WallTime now) {
    QChart& chart = *view.chart();
    reset(chart);
    auto* x = timeAxis(chart, now - ReadingsHistory::kWorkloadKept, now, "HH:mm", 2);
    x->setVisible(false);
    double top = 100;
    for (const auto& run : cpu) {
        for (const auto& point : run) top = std::max(top, point.value);
    }
    auto* y = valueAxis(chart, 0, top, Qt::AlignLeft, false);
    addRuns(chart, cpu, QStringLiteral("CPU"), QColor(0x3584e4), x, y);
    addRuns(chart, gpu, QStringLiteral("GPU"), QColor(0x9141ac), x, y);
    followPalette(chart, view);
    chart.setBackgroundVisible(false);
    std::string text = tr("CPU over the last ten minutes");
    if (!cpu.empty()) text += trFormat(": now {:.0f}%", cpu.back().back().value);
    if (!gpu.empty()) text += trFormat(", GPU {:.0f}%", gpu.back().back().value);
    view.setAccessibleName(QString::fromStdString(text));
    view.setToolTip(view.accessibleName());
}

}  // namespace vigilo
