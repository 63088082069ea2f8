#include "ui/qt/dashboard_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

#include "activity/activity_log.h"
#include "app/app_state.h"
#include "support/tr.h"
#include "ui/awake_band.h"
#include "ui/qt/report/chart_kit.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/window_frame.h"
#include "ui/qt/windows/why_section.h"
#include "ui/readings_history.h"

namespace vigilo {

namespace {

QLabel* heading(const std::string& text) {
    auto* label = new QLabel(QStringLiteral("<b>%1</b>").arg(qtext(text).toHtmlEscaped()));
    label->setContentsMargins(0, 8, 0, 0);
    return label;
}

const char* shade(Tone tone) {
    switch (tone) {
    case Tone::normal: return nullptr;
    case Tone::secondary: return "#808080";
    case Tone::green: return "#2e9d48";
    case Tone::orange: return "#e07b00";
    case Tone::red: return "#d32f2f";
    }
    return nullptr;
}

QString toned(const std::string& text, Tone tone) {
    const char* colour = shade(tone);
    const QString escaped = qtext(text).toHtmlEscaped();
    return colour ? QStringLiteral("<span style=\"color:%1\">%2</span>").arg(QLatin1String(colour), escaped) : escaped;
}

void clear(QLayout& layout) {
    while (QLayoutItem* item = layout.takeAt(0)) {
        delete item->widget();
        delete item;
    }
}

}  // namespace

DashboardWindow::DashboardWindow(const TrayServices& services, Loop& loop, const ReadingsHistory& history,
                                 std::function<void()> closed)
    : services_(services), loop_(loop), history_(history), closed_(std::move(closed)) {
    frameWindow(*this, qtext(vigilo::tr(kDashboardWindowTitle)), QSize(kDashboardWindowWidth, kDashboardWindowHeight));
    auto* layout = new QVBoxLayout(this);

    icon_ = new QLabel;
    verdict_ = new QLabel;
    QFont big = verdict_->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    big.setBold(true);
    verdict_->setFont(big);
    auto* top = new QHBoxLayout;
    top->addWidget(icon_);
    top->addWidget(verdict_, 1);
    layout->addLayout(top);

    layout->addWidget(heading(vigilo::tr("Active workloads")));
    workloads_ = new QGridLayout;
    layout->addLayout(workloads_);
    noWorkloads_ = new QLabel;
    layout->addWidget(noWorkloads_);

    layout->addWidget(heading(vigilo::tr("Last 24 hours")));
    band_ = chartKit().makeChart(140, true);
    layout->addWidget(band_);
    layout->addWidget(heading(vigilo::tr("Last hour")));
    lastHour_ = chartKit().makeChart(170, true);
    layout->addWidget(lastHour_);

    if (services_.inhibitors) {
        layout->addWidget(heading(vigilo::tr("What keeps this computer awake")));
        layout->addWidget(new WhySection(*services_.inhibitors));
    }
    layout->addWidget(heading(vigilo::tr("System")));
    system_ = new QLabel;
    system_->setTextFormat(Qt::RichText);
    layout->addWidget(system_);
    alerts_ = new QLabel;
    alerts_->setWordWrap(true);
    alerts_->setTextFormat(Qt::RichText);
    layout->addWidget(alerts_);
    layout->addStretch(1);

    subscriptions_ = watchStateFacts(services_.state, [this] {
        if (isVisible()) redraw();
    });
}

void DashboardWindow::redraw() {
    const DashboardView view = buildDashboardView(gatherStateFacts(services_.state));
    icon_->setPixmap(QIcon::fromTheme(qtext(view.safetyIcon)).pixmap(32, 32));
    verdict_->setText(toned(view.safetyText, view.safetyTone));
    drawWorkloads(view.workloads);
    noWorkloads_->setVisible(view.workloads.empty());
    noWorkloads_->setText(toned(view.noWorkloadsText, Tone::secondary));
    QString rows;
    for (const auto& row : view.system) {
        rows += QStringLiteral("<tr><td style=\"padding-right:14px\">%1</td><td>%2</td></tr>")
                    .arg(qtext(row.label).toHtmlEscaped(), toned(row.value, row.tone));
    }
    system_->setText(QStringLiteral("<table>%1</table>").arg(rows));
    QString alerts;
    for (const auto& alert : view.alerts) {
        alerts += QStringLiteral("<p>%1 %2</p>").arg(toned("\u26a0", Tone::orange), qtext(alert.message).toHtmlEscaped());
    }
    alerts_->setVisible(!alerts.isEmpty());
    alerts_->setText(alerts);
}

// The rows are made again only when the workloads change; their texts on
// every redraw.
void DashboardWindow::drawWorkloads(const std::vector<WorkloadRow>& rows) {
    std::vector<std::string> names;
    for (const auto& row : rows) names.push_back(row.name);
    if (names != shownNames_) {
        shownNames_ = names;
        clear(*workloads_);
        sparklines_.clear();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const int row = static_cast<int>(i);
            for (int column = 0; column < 5; ++column) {
                auto* label = new QLabel;
                workloads_->addWidget(label, row, column);
                label->show();
            }
            auto* line = chartKit().makeChart(28, false);
            line->setFixedWidth(120);
            workloads_->addWidget(line, row, 5);
            line->show();
            sparklines_.emplace_back(rows[i].name, line);
        }
        drawCharts();
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int row = static_cast<int>(i);
        const auto& workload = rows[i];
        const QString texts[] = {QStringLiteral("<b>%1</b>").arg(qtext(workload.name).toHtmlEscaped()),
                                 toned(workload.state, workload.stateTone), qtext(workload.cpu).toHtmlEscaped(),
                                 qtext(workload.gpu).toHtmlEscaped(), qtext(workload.runtime).toHtmlEscaped()};
        for (int column = 0; column < 5; ++column) {
            static_cast<QLabel*>(workloads_->itemAtPosition(row, column)->widget())->setText(texts[column]);
        }
    }
}

void DashboardWindow::drawCharts() {
    const WallTime now = loop_.clock().wallNow();
    ChartKit& kit = chartKit();
    kit.drawAwakeBand(*band_, awakeBand(services_.activity.events().get(), now), now);
    kit.drawLastHour(*lastHour_, history_.temperature(), history_.battery(), now);
    for (auto& [name, line] : sparklines_) {
        kit.drawSparkline(*line, history_.workloadCpu(name), history_.workloadGpu(name), now);
    }
}

void DashboardWindow::present() {
    redraw();
    drawCharts();
    presentWindow(*this);
}

void DashboardWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    redrawTimer_ = loop_.startRepeating(std::chrono::seconds(2), [this] { redraw(); });
    chartTimer_ = loop_.startRepeating(ReadingsHistory::kEvery, [this] { drawCharts(); });
}

void DashboardWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    redrawTimer_.cancel();
    chartTimer_.cancel();
}

// After the close has been handled, never inside it.
void DashboardWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (!closed_) return;
    loop_.post([this, alive = life_.weak()] {
        if (alive.lock() && !isVisible()) closed_();
    });
}

}  // namespace vigilo
