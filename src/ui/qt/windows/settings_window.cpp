#include "ui/qt/windows/settings_window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "safety/cooling_manager.h"
#include "support/tr.h"
#include "ui/qt/windows/settings_mqtt_section.h"

namespace vigilo {

SettingsWindow::SettingsWindow(const TrayServices& services)
    : FormWindow(qtext(vigilo::tr("Vigilo Settings")), QSize(480, 580)),
      services_(services),
      settings_(services.settings) {
    auto* content = new QWidget;
    auto* sections = new QVBoxLayout(content);
    sections->addWidget(watchSection());
    sections->addWidget(cpuSection());
    sections->addWidget(coolingSection());
    sections->addWidget(safetySection());
    sections->addWidget(escalationSection());
    sections->addWidget(notificationsSection());
    sections->addWidget(mqttSettingsSection(*this, settings_, services.mqtt));
    sections->addWidget(helpSection());
    sections->addStretch(1);

    auto* scroll = new QScrollArea;
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    follow();
    redraw();
}

void SettingsWindow::addPattern() {
    const auto refusal = addTypedPattern(settings_, patternField_->text().toStdString());
    showRefusal(patternRefusal_, refusal);
    if (!refusal) patternField_->clear();
}

void SettingsWindow::follow() {
    auto redrawAll = [this](const auto&) { redraw(); };
    keep(settings_.watchPatterns.subscribe([this](const auto&) { redrawChips(); }));
    for (auto setting : {&AppSettings::warnOnBattery, &AppSettings::useCpuDetection,
                         &AppSettings::thermalAutoStopClamshell, &AppSettings::autoMaxFanOnCritical,
                         &AppSettings::notifyOnComplete}) {
        keep((settings_.*setting).subscribe(redrawAll));
    }
    for (auto setting : {&AppSettings::batteryThreshold, &AppSettings::pollInterval, &AppSettings::idleHoldoffSeconds,
                         &AppSettings::warnBatteryThreshold, &AppSettings::criticalBatteryThreshold,
                         &AppSettings::forceSleepBatteryThreshold}) {
        keep((settings_.*setting).subscribe(redrawAll));
    }
    for (auto setting : {&AppSettings::ntfyServer, &AppSettings::ntfyTopic, &AppSettings::pushoverToken,
                         &AppSettings::pushoverUser}) {
        keep((settings_.*setting).subscribe(redrawAll));
    }
    keep(settings_.cpuThresholdPercent.subscribe(redrawAll));
    keep(settings_.pushProvider.subscribe(redrawAll));
    auto& cooling = services_.cooling;
    keep(cooling.temperature().subscribe(redrawAll));
    keep(cooling.fans().subscribe([this](const auto&) { redrawFans(); }));
    keep(cooling.controlSupported().subscribe(redrawAll));
    keep(cooling.activePreset().subscribe(redrawAll));
}

void SettingsWindow::redraw() {
    for (auto& redrawControl : redraws_) redrawControl();
    const bool busyOnly = settings_.useCpuDetection.get();
    cpuExplanation_->setText(qtext(cpuDetectionExplanation(busyOnly)));
    cpuTuning_->setVisible(busyOnly);
    {
        const QSignalBlocker quiet(cpuThreshold_);
        cpuThreshold_->setValue(static_cast<int>(settings_.cpuThresholdPercent.get() + 0.5));
    }
    cpuThresholdValue_->setText(qtext(cpuThresholdText(settings_.cpuThresholdPercent.get())));

    auto& cooling = services_.cooling;
    temperature_->setText(qtext(temperatureText(cooling.temperature().get())));
    const bool fanControl = cooling.controlSupported().get();
    presetRow_->setVisible(fanControl);
    noFanControl_->setVisible(!fanControl);
    {
        const QSignalBlocker quiet(preset_);
        const auto active = cooling.activePreset().get();
        for (std::size_t i = 0; i < kAllFanPresets.size(); ++i) {
            if (kAllFanPresets[i] == active) preset_->setCurrentIndex(static_cast<int>(i));
        }
    }
    redrawFans();

    const auto provider = settings_.pushProvider.get();
    {
        const QSignalBlocker quiet(pushProvider_);
        pushProvider_->setCurrentIndex(static_cast<int>(provider));
    }
    ntfyFields_->setVisible(provider == PushProvider::ntfy);
    pushoverFields_->setVisible(provider == PushProvider::pushover);
}

// The chips are kept and relabelled rather than made anew, so a chip
// switched from the keyboard keeps the focus and the tab order stays as on
// the screen; only added or removed ones come and go, at the end.
void SettingsWindow::redrawChips() {
    constexpr int kChipsPerRow = 3;
    const auto chips = settings_.watchPatternChips();
    while (chipButtons_.size() > chips.size()) {
        QPushButton* gone = chipButtons_.back();
        chipButtons_.pop_back();
        gone->hide();
        gone->deleteLater();  // it may be the one clicked
    }
    for (std::size_t i = 0; i < chips.size(); ++i) {
        if (i == chipButtons_.size()) {
            auto* b = plainButton("");
            b->setCheckable(true);
            QObject::connect(b, &QPushButton::clicked, this, [this, b] {
                const auto pattern = b->property("pattern").toString().toStdString();
                showRefusal(patternRefusal_, settings_.toggleWatchPattern(pattern));
            });
            const int at = static_cast<int>(i);
            chips_->addWidget(b, at / kChipsPerRow, at % kChipsPerRow);
            b->show();
            if (i > 0) QWidget::setTabOrder(chipButtons_[i - 1], b);
            chipButtons_.push_back(b);
        }
        QPushButton* b = chipButtons_[i];
        // The mark says on or off without relying on colour.
        b->setText(qtext((chips[i].on ? "\u2713 " : "+ ") + chips[i].pattern));
        b->setChecked(chips[i].on);
        b->setProperty("pattern", qtext(chips[i].pattern));
    }
}

void SettingsWindow::redrawFans() {
    clearLayout(fans_);
    if (!services_.cooling.controlSupported().get()) return;
    for (const auto& fan : services_.cooling.fans().get()) {
        auto* speed = new QLabel(qtext(fanSpeedText(fan)));
        auto* fanRow = rowOf({new QLabel(qtext(fanLabel(static_cast<std::size_t>(fan.id)))), speed});
        fans_->addWidget(fanRow);
        fanRow->show();
    }
}

}  // namespace vigilo
