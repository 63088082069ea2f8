#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_settings.h"
#include "safety/fan_controller.h"

namespace vigilo {

// What the settings window shows and refuses, apart from the toolkit.

// A stepper over an integer setting, labelled prefix + value + suffix
// (translated texts).
struct SettingStepper {
    Setting<int> AppSettings::*setting;
    const char* prefix;
    const char* suffix;
    int minimum;
    int maximum;
    int step;
};

SettingStepper scanStepper();
SettingStepper idleStepper();
SettingStepper autoStopStepper();
// The low-battery escalation, in the order shown.
std::array<SettingStepper, 3> escalationSteppers();

inline constexpr double kCpuThresholdMinimum = 1.0;
inline constexpr double kCpuThresholdMaximum = 50.0;

// The text under the CPU-detection toggle, which differs with its state.
std::string cpuDetectionExplanation(bool on);
std::string cpuThresholdText(double percent);
// The "CPU temperature" row's value.
std::string temperatureText(std::optional<double> celsius);
// One row per fan reading: "Fan 1" and its speed.
std::string fanLabel(std::size_t index);
std::string fanSpeedText(const FanController::Reading& fan);

// The "Phone push" picker's options, in order.
struct PushOption {
    PushProvider provider;
    std::string label;
};
std::vector<PushOption> pushOptions();

// The points under "Why is my computer still sleeping?", in order.
std::vector<std::string> sleepHelpPoints();

// Adds a typed program to the watch list, as "Add" and Return do; returns
// why nothing was added, for the line next to the field.
std::optional<std::string> addTypedPattern(AppSettings& settings, std::string_view typed);

// The phone-push text fields. Each is stored trimmed, and only when the
// check passes: a refused text leaves the stored value as it was.
enum class PushField { ntfyServer, ntfyTopic, pushoverToken, pushoverUser };
// The tidied text, or why it is refused.
struct PushFieldEdit {
    std::string text;
    std::optional<std::string> refusal;
};
PushFieldEdit checkPushField(PushField field, std::string_view typed);
Setting<std::string>& pushFieldSetting(AppSettings& settings, PushField field);

}  // namespace vigilo
