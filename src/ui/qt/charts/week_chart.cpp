#include "ui/qt/charts/week_chart.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "support/tr.h"
#include "ui/chart_texts.h"

namespace vigilo {

QChartView* makeWeekChart() {
    auto* chart = new QChart;
    chart->setMargins(QMargins(0, 0, 0, 0));
    chart->setBackgroundRoundness(0);
    chart->legend()->setVisible(false);
    chart->setAnimationOptions(QChart::NoAnimation);
    auto* view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setFixedHeight(150);
    view->setFocusPolicy(Qt::TabFocus);
    return view;
}

void drawWeekBars(QChartView& view, const std::vector<DayHours>& days) {
    QChart& chart = *view.chart();
    chart.removeAllSeries();
    for (QAbstractAxis* axis : chart.axes()) {
        chart.removeAxis(axis);
        delete axis;
    }
    const QPalette palette = view.palette();
    const QColor text = palette.color(QPalette::WindowText);
    chart.setTheme(palette.color(QPalette::Window).lightness() < 128 ? QChart::ChartThemeDark : QChart::ChartThemeLight);
    chart.setBackgroundBrush(palette.color(QPalette::Window));
    chart.setPlotAreaBackgroundVisible(false);

    auto* set = new QBarSet(QString::fromStdString(tr("Hours kept awake")));
    set->setColor(QColor(0x3584e4));
    set->setBorderColor(QColor(0x3584e4));
    set->setLabelColor(text);
    QStringList labels;
    double most = 1;
    std::vector<std::pair<std::string, double>> figures;
    for (const auto& day : days) {
        *set << day.hours;
        labels << QString::fromStdString(day.day);
        most = std::max(most, day.hours);
        figures.emplace_back(day.day, day.hours);
    }
    auto* series = new QBarSeries;
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsPrecision(2);
    chart.addSeries(series);
    auto* x = new QBarCategoryAxis;
    x->append(labels);
    x->setLabelsColor(text);
    x->setGridLineVisible(false);
    chart.addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    auto* y = new QValueAxis;
    y->setRange(0, std::ceil(most * 1.25));
    y->setVisible(false);
    chart.addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);

    // The figures in the name as well: many screen readers say only that.
    const std::string bars = weekBarsText(figures);
    view.setAccessibleName(QString::fromStdString(std::string(tr("Hours kept awake per day")) + ": " + bars));
    view.setAccessibleDescription(QString::fromStdString(bars));
    view.setToolTip(view.accessibleDescription());
}

}  // namespace vigilo
