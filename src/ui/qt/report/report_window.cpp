#include "ui/qt/report/report_window.h"

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <string>

#include "activity/workstation_score.h"
#include "support/atomic_file.h"
#include "support/tr.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/report/share_card_renderer.h"
#include "ui/qt/report/chart_kit.h"

namespace vigilo {

namespace {

constexpr std::array<const char*, ReportWindow::kRowCount> kRowLabels{
    "Kept awake",       "Protected sessions", "Closed-lid sessions", "Low-battery saves",
    "Thermal warnings", "Emergency sleeps",   "Longest session",     "Workstation score",
};

std::array<std::string, ReportWindow::kRowCount> rowValues(const WeeklyReport& report) {
    const WorkstationScore score = WorkstationScore::compute(report);
    return {
        trFormat("{:.1f} h", report.runtimeHours),
        std::to_string(report.protectedSessions),
        std::to_string(report.lidClosedSessions),
        std::to_string(report.lowBatterySaves),
        std::to_string(report.thermalWarnings),
        std::to_string(report.emergencySleeps),
        trFormat("{:.1f} h", report.longestSessionHours),
        trFormat("{}/100 ({})", score.value, ratingWords(score.rating)),
    };
}

QString suggestedCardPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    return QDir(folder).filePath("Vigilo-week.png");
}

}  // namespace

ReportWindow::ReportWindow(Source source, QWidget* parent) : QWidget(parent), source_(std::move(source)) {
    setWindowTitle(translated("Vigilo Weekly Report"));
    resize(480, 740);
    auto* layout = new QVBoxLayout(this);
    // One column as wide as the card preview, so rows, card and buttons line up.
    const QSize previewSize = ShareCardRenderer::kCardSize / 2;
    const int side = (480 - previewSize.width()) / 2;
    layout->setContentsMargins(side, 24, side, 20);
    layout->setSpacing(16);
    buildRows(layout);
    // Under the figures: the week as bars.
    week_ = chartKit().makeWeekChart();
    layout->addWidget(week_);
    preview_ = new QLabel(this);
    preview_->setFixedSize(previewSize);
    layout->addWidget(preview_, 0, Qt::AlignHCenter);
    buildButtons(layout);
    layout->addStretch(1);
}

void ReportWindow::buildRows(QVBoxLayout* layout) {
    auto* heading = new QLabel(translated("Weekly report (last 7 days)"), this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);

    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(8);
    grid->setColumnStretch(0, 1);
    for (int row = 0; row < kRowCount; ++row) {
        grid->addWidget(new QLabel(translated(kRowLabels[row]), this), row, 0);
        values_[row] = new QLabel(this);
        values_[row]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        values_[row]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(values_[row], row, 1);
    }
    layout->addLayout(grid);
}

void ReportWindow::buildButtons(QVBoxLayout* layout) {
    auto* row = new QHBoxLayout;
    copyButton_ = new QPushButton(translated("Copy card"), this);
    saveButton_ = new QPushButton(translated("Save card\u2026"), this);
    note_ = new QLabel(this);
    note_->setWordWrap(true);
    note_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(copyButton_);
    row->addWidget(saveButton_);
    row->addStretch(1);
    // Right under the buttons, a full row wide: an error names a path.
    auto* column = new QVBoxLayout;
    column->setSpacing(8);
    column->addLayout(row);
    column->addWidget(note_);
    layout->addLayout(column);
    setTabOrder(copyButton_, saveButton_);
    connect(copyButton_, &QPushButton::clicked, this, [this] { copyCard(); });
    connect(saveButton_, &QPushButton::clicked, this, [this] { chooseFileAndSave(); });
}

void ReportWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
    copyButton_->setFocus();
}

void ReportWindow::refresh() {
    const ReportInput input = source_ ? source_() : ReportInput{};
    report_ = WeeklyReport::generate(input.events, input.now);
    const auto values = rowValues(report_);
    for (int row = 0; row < kRowCount; ++row) values_[row]->setText(qtext(values[row]));
    chartKit().drawWeekBars(*week_, hoursAwakeByDay(input.events, input.now));

    const qreal ratio = devicePixelRatioF();
    QImage preview = ShareCardRenderer::render(report_).scaled(preview_->size() * ratio, Qt::IgnoreAspectRatio,
                                                               Qt::SmoothTransformation);
    preview.setDevicePixelRatio(ratio);
    preview_->setPixmap(QPixmap::fromImage(preview));
    note_->clear();
}

void ReportWindow::copyCard() {
    QGuiApplication::clipboard()->setImage(ShareCardRenderer::render(report_));
    note_->setText(translated("Card copied to the clipboard."));
}

void ReportWindow::chooseFileAndSave() {
    QString path = QFileDialog::getSaveFileName(this, translated("Save card"), suggestedCardPath(),
                                                translated("PNG image") + " (*.png)");
    if (path.isEmpty()) return;
    if (!path.endsWith(".png", Qt::CaseInsensitive)) path += ".png";
    saveCardTo(path);
}

void ReportWindow::saveCardTo(const QString& path) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ShareCardRenderer::render(report_).save(&buffer, "PNG");
    // Whole or not at all: a failed save never leaves half a file behind.
    const auto error = writeFileAtomically(path.toStdString(), std::string_view(png.constData(), png.size()));
    note_->setText(error ? qtext(trFormat("Could not save the card: {}", *error)) : translated("Card saved."));
}

QString ReportWindow::note() const { return note_->text(); }

}  // namespace vigilo
