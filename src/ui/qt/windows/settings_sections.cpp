#include "ui/qt/windows/settings_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/privileged_runner.h"
#include "platform/lid_state.h"
#include "safety/battery_monitor.h"
#include "safety/cooling_manager.h"
#include "support/tr.h"
#include "ui/qt/windows/checked_field.h"
#include "ui/qt/windows/gpu_detection_controls.h"
#include "ui/tray_menu_model.h"

// The window's sections and the controls that edit one setting each.
namespace vigilo {

namespace {

QGroupBox* section(const char* title) {
    auto* box = new QGroupBox(QString::fromUtf8(title));
    new QVBoxLayout(box);
    return box;
}

QVBoxLayout* rows(QGroupBox* box) { return static_cast<QVBoxLayout*>(box->layout()); }

}  // namespace

QGroupBox* SettingsWindow::watchSection() {
    auto* box = section(vigilo::tr("Apps Auto Mode watches"));
    auto* layout = rows(box);
    layout->addWidget(paragraph(vigilo::tr("Auto Mode keeps your computer awake only while one of these tools is "
                                           "running \u2014 and lets it sleep when they finish. Click a program to turn "
                                           "it on or off.")));
    chips_ = new QGridLayout;
    layout->addLayout(chips_);
    redrawChips();  // before the field, for the tab order

    patternField_ = new QLineEdit;
    patternField_->setObjectName(QStringLiteral("watchPatterns"));
    patternField_->setPlaceholderText(qtext(vigilo::tr("Add a program (e.g. blender)")));
    auto* add = plainButton(vigilo::tr("Add"));
    auto* fieldRow = new QHBoxLayout;
    fieldRow->addWidget(patternField_, 1);
    fieldRow->addWidget(add);
    layout->addLayout(fieldRow);
    patternRefusal_ = refusalLine();
    layout->addWidget(patternRefusal_);
    QObject::connect(patternField_, &QLineEdit::returnPressed, this, [this] { addPattern(); });
    QObject::connect(add, &QPushButton::clicked, this, [this] { addPattern(); });

    auto* reset = plainButton(vigilo::tr("Reset to Defaults"));
    QObject::connect(reset, &QPushButton::clicked, this, [this] {
        settings_.resetWatchPatterns();
        showRefusal(patternRefusal_, std::nullopt);
    });
    layout->addWidget(rowOf({reset}));
    layout->addWidget(rowOf({stepper(scanStepper())}));
    layout->addWidget(paragraph(vigilo::tr("Tip: \u201cpython\u201d also matches python3; a pattern with a dot (e.g. "
                                   "train.py) is matched inside interpreter command lines.")));
    return box;
}

QGroupBox* SettingsWindow::cpuSection() {
    auto* box = section(vigilo::tr("Smart CPU detection"));
    auto* layout = rows(box);
    layout->addWidget(
        toggle(vigilo::tr("Only keep awake when the task is actually busy"), &AppSettings::useCpuDetection));
    cpuExplanation_ = paragraph("");
    layout->addWidget(cpuExplanation_);
    layout->addWidget(new GpuDetectionControls(settings_));

    cpuTuning_ = new QWidget;
    auto* tuning = new QVBoxLayout(cpuTuning_);
    tuning->setContentsMargins(0, 0, 0, 0);
    cpuThreshold_ = new QSlider(Qt::Horizontal);
    cpuThreshold_->setObjectName(QStringLiteral("cpuThresholdPercent"));
    cpuThreshold_->setRange(static_cast<int>(kCpuThresholdMinimum), static_cast<int>(kCpuThresholdMaximum));
    cpuThreshold_->setSingleStep(1);
    // One write when the handle is let go, not one per pixel dragged.
    cpuThreshold_->setTracking(false);
    cpuThresholdValue_ = new QLabel;
    auto* thresholdRow = new QHBoxLayout;
    thresholdRow->addWidget(new QLabel(qtext(vigilo::tr("CPU threshold"))));
    thresholdRow->addWidget(cpuThreshold_, 1);
    thresholdRow->addWidget(cpuThresholdValue_);
    tuning->addLayout(thresholdRow);
    QObject::connect(cpuThreshold_, &QSlider::valueChanged, this,
                     [this](int value) { settings_.cpuThresholdPercent.set(value); });
    QObject::connect(cpuThreshold_, &QSlider::sliderMoved, this,
                     [this](int value) { cpuThresholdValue_->setText(qtext(cpuThresholdText(value))); });
    tuning->addWidget(rowOf({stepper(idleStepper())}));
    layout->addWidget(cpuTuning_);
    return box;
}

QGroupBox* SettingsWindow::coolingSection() {
    auto* box = section(vigilo::tr("Smart Cooling"));
    auto* layout = rows(box);
    auto* temperatureRow = new QHBoxLayout;
    temperatureRow->addWidget(new QLabel(qtext(vigilo::tr("CPU temperature"))));
    temperatureRow->addStretch(1);
    temperature_ = new QLabel;
    temperature_->setWordWrap(true);
    temperatureRow->addWidget(temperature_);
    layout->addLayout(temperatureRow);

    fans_ = new QVBoxLayout;
    layout->addLayout(fans_);
    preset_ = new QComboBox;
    preset_->setObjectName(QStringLiteral("fanPreset"));
    for (FanPreset preset : kAllFanPresets) preset_->addItem(QString::fromUtf8(shownName(preset)));
    // A person's choice: the system may ask for permission to drive the fans,
    // and the preset follows the answer; the loop goes on meanwhile.
    QObject::connect(preset_, &QComboBox::activated, this, [this](int index) {
        const FanPreset preset = kAllFanPresets.at(static_cast<std::size_t>(index));
        CoolingManager& cooling = services_.cooling;
        if (!services_.privileged) return cooling.apply(preset);
        services_.privileged->authorize(HelperVerb::fan, [&cooling, preset](bool) { cooling.apply(preset); });
    });
    presetRow_ = rowOf({new QLabel(qtext(vigilo::tr("Fan preset"))), preset_});
    layout->addWidget(presetRow_);
    noFanControl_ = paragraph(vigilo::tr("Fan control isn't available on this computer \u2014 it has no controllable "
                                         "fans, or the firmware blocks it."));
    layout->addWidget(noFanControl_);
    layout->addWidget(
        toggle(vigilo::tr("Max fans automatically when critically hot"), &AppSettings::autoMaxFanOnCritical));
    return box;
}

QGroupBox* SettingsWindow::safetySection() {
    auto* box = section(vigilo::tr("Safety"));
    auto* layout = rows(box);
    layout->addWidget(toggle(vigilo::tr("Warn before keeping awake on battery"), &AppSettings::warnOnBattery));
    layout->addWidget(toggle(vigilo::tr("Drop closed-lid mode if the computer gets too hot"),
                             &AppSettings::thermalAutoStopClamshell));
    layout->addWidget(rowOf({stepper(autoStopStepper())}));
    auto* footer = paragraph(vigilo::tr("Auto-stop releases keep-awake so the computer can sleep normally. The "
                                        "escalation below is a deeper safety net if you lower auto-stop or use "
                                        "closed-lid mode."));
    footer->setEnabled(false);  // drawn as a footnote
    layout->addWidget(footer);
    // Read once: a computer does not grow a lid or a battery.
    const auto note = missingHardwareNote(services_.lid.isClosed().has_value(),
                                          services_.battery.currentSnapshot().hasBattery);
    if (!note.empty()) {
        auto* missing = paragraph(note);
        missing->setEnabled(false);
        layout->addWidget(missing);
    }
    return box;
}

QGroupBox* SettingsWindow::escalationSection() {
    auto* box = section(vigilo::tr("Low-battery escalation"));
    for (const auto& row : escalationSteppers()) rows(box)->addWidget(rowOf({stepper(row)}));
    return box;
}

QGroupBox* SettingsWindow::notificationsSection() {
    auto* box = section(vigilo::tr("Notifications"));
    auto* layout = rows(box);
    layout->addWidget(toggle(vigilo::tr("Notify me when a task finishes"), &AppSettings::notifyOnComplete));
    pushProvider_ = new QComboBox;
    pushProvider_->setObjectName(QStringLiteral("pushProvider"));
    const auto options = pushOptions();
    for (const auto& option : options) pushProvider_->addItem(qtext(option.label));
    QObject::connect(pushProvider_, &QComboBox::activated, this, [this, options](int index) {
        settings_.pushProvider.set(options.at(static_cast<std::size_t>(index)).provider);
    });
    layout->addWidget(rowOf({new QLabel(qtext(vigilo::tr("Phone push"))), pushProvider_}));

    ntfyFields_ = new QWidget;
    auto* ntfy = new QVBoxLayout(ntfyFields_);
    ntfy->setContentsMargins(0, 0, 0, 0);
    ntfy->addWidget(pushField(vigilo::tr("ntfy server"), PushField::ntfyServer));
    ntfy->addWidget(pushField(vigilo::tr("Topic (pick a unique secret word)"), PushField::ntfyTopic));
    ntfy->addWidget(paragraph(vigilo::tr("Install the ntfy app on your phone and subscribe to the same topic. Then any "
                                 "finished task pings your phone.")));
    layout->addWidget(ntfyFields_);

    pushoverFields_ = new QWidget;
    auto* pushover = new QVBoxLayout(pushoverFields_);
    pushover->setContentsMargins(0, 0, 0, 0);
    pushover->addWidget(pushField(vigilo::tr("Application token"), PushField::pushoverToken));
    pushover->addWidget(pushField(vigilo::tr("User key"), PushField::pushoverUser));
    layout->addWidget(pushoverFields_);
    return box;
}

QWidget* SettingsWindow::helpSection() {
    auto* box = section(vigilo::tr("Help"));
    auto* expander = new QToolButton;
    expander->setText(qtext(vigilo::tr("Why is my computer still sleeping?")));
    expander->setCheckable(true);
    expander->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    expander->setArrowType(Qt::RightArrow);
    expander->setAutoRaise(true);
    auto* points = new QWidget;
    auto* list = new QVBoxLayout(points);
    int number = 0;
    for (const auto& point : sleepHelpPoints()) list->addWidget(paragraph(std::to_string(++number) + ". " + point));
    points->hide();
    QObject::connect(expander, &QToolButton::toggled, this, [expander, points](bool open) {
        expander->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        points->setVisible(open);
    });
    rows(box)->addWidget(expander);
    rows(box)->addWidget(points);
    return box;
}

QCheckBox* SettingsWindow::toggle(const char* text, Setting<bool> AppSettings::*setting) {
    auto* box = new QCheckBox(QString::fromUtf8(text));
    box->setObjectName(qtext((settings_.*setting).key()));
    QObject::connect(box, &QCheckBox::toggled, this, [this, setting](bool on) { (settings_.*setting).set(on); });
    redraws_.push_back([this, box, setting] {
        const QSignalBlocker quiet(box);
        box->setChecked((settings_.*setting).get());
    });
    return box;
}

QSpinBox* SettingsWindow::stepper(const SettingStepper& row) {
    auto* box = new QSpinBox;
    box->setObjectName(qtext((settings_.*row.setting).key()));
    box->setRange(row.minimum, row.maximum);
    box->setSingleStep(row.step);
    box->setPrefix(QString::fromUtf8(row.prefix));
    box->setSuffix(QString::fromUtf8(row.suffix));
    // A typed number is written once it is complete, not digit by digit.
    box->setKeyboardTracking(false);
    auto setting = row.setting;
    QObject::connect(box, &QSpinBox::valueChanged, this,
                     [this, setting](int value) { (settings_.*setting).set(value); });
    redraws_.push_back([this, box, setting] {
        const QSignalBlocker quiet(box);
        box->setValue((settings_.*setting).get());
    });
    return box;
}

QWidget* SettingsWindow::pushField(const char* label, PushField field) {
    auto* holder = new QWidget;
    auto* layout = new QFormLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* editor = pushFieldEditor(settings_, field, QString::fromUtf8(label), false);
    layout->addRow(QString::fromUtf8(label), editor);
    redraws_.push_back([this, editor, field] { editor->showStored(pushFieldSetting(settings_, field).get()); });
    return holder;
}

}  // namespace vigilo
