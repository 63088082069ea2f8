#pragma once

#include <functional>

#include "main/ui_module_abi.h"
#include "ui/qt/windows/form_window.h"
#include "ui/settings_form.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QVBoxLayout;

namespace vigilo {

// "Vigilo Settings": every preference in sections, each control writing
// its setting at once (there is no save button), and the fan preset.
// Redrawn whenever a shown value changes, from here or elsewhere.
class SettingsWindow final : public FormWindow {
public:
    // Each control is named after the setting it edits.
    explicit SettingsWindow(const TrayServices& services);

private:
    QGroupBox* watchSection();
    QGroupBox* cpuSection();
    QGroupBox* coolingSection();
    QGroupBox* safetySection();
    QGroupBox* escalationSection();
    QGroupBox* notificationsSection();
    QWidget* helpSection();

    QCheckBox* toggle(const char* text, Setting<bool> AppSettings::*setting);
    QSpinBox* stepper(const SettingStepper& stepper);
    QWidget* pushField(const char* label, PushField field);
    void addPattern();
    void follow();
    void redraw();
    void redrawChips();
    void redrawFans();

    TrayServices services_;
    AppSettings& settings_;
    // Each control's redraw from the value it shows.
    std::vector<std::function<void()>> redraws_;
    QGridLayout* chips_ = nullptr;
    std::vector<QPushButton*> chipButtons_;
    QLineEdit* patternField_ = nullptr;
    QLabel* patternRefusal_ = nullptr;
    QLabel* cpuExplanation_ = nullptr;
    QWidget* cpuTuning_ = nullptr;
    QSlider* cpuThreshold_ = nullptr;
    QLabel* cpuThresholdValue_ = nullptr;
    QLabel* temperature_ = nullptr;
    QVBoxLayout* fans_ = nullptr;
    QWidget* presetRow_ = nullptr;
    QComboBox* preset_ = nullptr;
    QLabel* noFanControl_ = nullptr;
    QComboBox* pushProvider_ = nullptr;
    QWidget* ntfyFields_ = nullptr;
    QWidget* pushoverFields_ = nullptr;
};

}  // namespace vigilo
