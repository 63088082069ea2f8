#pragma once

#include <QWidget>

#include <vector>

#include "app/app_settings.h"
#include "support/handle.h"

class QCheckBox;
class QSpinBox;

namespace vigilo {

// The settings window's GPU rows in its Auto Mode section: "Use GPU
// activity" and the GPU threshold (0…100 %, in steps of 5), with one
// sentence saying what they do. Each control writes its setting at once and
// follows it when it changes elsewhere. Named "useGpuDetection" and
// "gpuThresholdPercent" after the settings.
class GpuDetectionControls final : public QWidget {
public:
    explicit GpuDetectionControls(AppSettings& settings, QWidget* parent = nullptr);

private:
    void redraw();

    AppSettings& settings_;
    QCheckBox* toggle_ = nullptr;
    QSpinBox* threshold_ = nullptr;
    std::vector<Handle> subscriptions_;
};

}  // namespace vigilo
