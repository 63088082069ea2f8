#include "ui/qt/windows/gpu_detection_controls.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

#include "support/tr.h"

namespace vigilo {

GpuDetectionControls::GpuDetectionControls(AppSettings& settings, QWidget* parent)
    : QWidget(parent), settings_(settings) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    toggle_ = new QCheckBox(QString::fromUtf8(vigilo::tr("Use GPU activity")));
    toggle_->setObjectName(QStringLiteral("useGpuDetection"));
    layout->addWidget(toggle_);
    QObject::connect(toggle_, &QCheckBox::toggled, this, [this](bool on) { settings_.useGpuDetection.set(on); });

    threshold_ = new QSpinBox;
    threshold_->setObjectName(QStringLiteral("gpuThresholdPercent"));
    threshold_->setRange(0, 100);
    threshold_->setSingleStep(5);
    threshold_->setPrefix(QString::fromUtf8(vigilo::tr("GPU threshold ")));
    threshold_->setSuffix(QStringLiteral("%"));
    auto* row = new QHBoxLayout;
    row->addWidget(threshold_);
    row->addStretch(1);
    layout->addLayout(row);
    QObject::connect(threshold_, &QSpinBox::valueChanged, this,
                     [this](int value) { settings_.gpuThresholdPercent.set(value); });

    auto* explanation = new QLabel(QString::fromUtf8(
        vigilo::tr("A task also counts as busy while its GPU use is at or above the threshold, so a training run "
                   "or a model server working on the GPU keeps the computer awake even when its CPU is quiet.")));
    explanation->setWordWrap(true);
    layout->addWidget(explanation);

    subscriptions_.push_back(settings_.useGpuDetection.subscribe([this](bool) { redraw(); }));
    subscriptions_.push_back(settings_.gpuThresholdPercent.subscribe([this](double) { redraw(); }));
    redraw();
}

void GpuDetectionControls::redraw() {
    const QSignalBlocker quietToggle(toggle_);
    const QSignalBlocker quietThreshold(threshold_);
    const bool on = settings_.useGpuDetection.get();
    toggle_->setChecked(on);
    threshold_->setValue(static_cast<int>(std::lround(settings_.gpuThresholdPercent.get())));
    threshold_->setEnabled(on);
}

}  // namespace vigilo
