#include "ui/settings_form.h"

#include <fmt/format.h>

#include <algorithm>

#include "alerts/web_address.h"
#include "app/watch_pattern_chips.h"
#include "support/tr.h"

namespace vigilo {

namespace {

bool isWordCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool onlyWordCharacters(std::string_view text, std::string_view alsoAllowed) {
    return std::all_of(text.begin(), text.end(),
                       [&](char c) { return isWordCharacter(c) || alsoAllowed.find(c) != std::string_view::npos; });
}

}  // namespace

SettingStepper scanStepper() { return {&AppSettings::pollInterval, tr("Scan every "), tr("s"), 1, 60, 1}; }

SettingStepper idleStepper() {
    return {&AppSettings::idleHoldoffSeconds, tr("Wait "), tr("s of idle before releasing"), 10, 600, 10};
}

SettingStepper autoStopStepper() {
    return {&AppSettings::batteryThreshold, tr("Auto-stop below "), tr("% battery"), 5, 95, 5};
}

std::array<SettingStepper, 3> escalationSteppers() {
    return {{{&AppSettings::warnBatteryThreshold, tr("Warn at "), tr("%"), 6, 50, 1},
             {&AppSettings::criticalBatteryThreshold, tr("Critical warning at "), tr("%"), 3, 40, 1},
             {&AppSettings::forceSleepBatteryThreshold, tr("Force sleep at "), tr("%"), 1, 30, 1}}};
}

std::string cpuDetectionExplanation(bool on) {
    return on ? tr("Skips false positives like a python REPL or an idle ollama. The holdoff smooths over brief "
                   "pauses (ollama between tokens, npm fetching).")
              : tr("Any matching process keeps the computer awake, even when sleeping. Faster but can over-trigger.");
}

std::string cpuThresholdText(double percent) { return fmt::format("{:.0f}%", percent); }

std::string temperatureText(std::optional<double> celsius) {
    if (!celsius) return tr("Temperature reading isn't available on this computer.");
    return fmt::format("{:.0f}\u00b0C", *celsius);
}

std::string fanLabel(std::size_t index) { return tr("Fan ") + std::to_string(index + 1); }

std::string fanSpeedText(const FanController::Reading& fan) { return fmt::format("{:.0f} rpm", fan.actual); }

std::vector<PushOption> pushOptions() {
    return {{PushProvider::none, tr("Off")},
            {PushProvider::ntfy, tr("ntfy.sh (free)")},
            {PushProvider::pushover, tr("Pushover")}};
}

std::vector<std::string> sleepHelpPoints() {
    return {
        tr("On battery, closing the lid still sleeps the computer unless Closed-Lid mode is on \u2014 turn it on "
           "from the menu."),
        tr("With the lid open, Auto Mode keeps the computer awake only while a watched task is actually running. "
           "No task \u2192 it sleeps. That\u2019s normal."),
        tr("An external display with power and a keyboard lets the system run lid-closed on its own, without "
           "Closed-Lid mode."),
        tr("Turn on \u201cAlso Prevent Display Sleep\u201d if you want the screen to stay on too, not just the "
           "computer."),
        tr("Low battery or a hot computer will release keep-awake on purpose \u2014 that\u2019s the safety net "
           "protecting your hardware."),
    };
}

std::optional<std::string> addTypedPattern(AppSettings& settings, std::string_view typed) {
    if (trimmedPattern(typed).empty()) return std::string(tr("Type the name of a program first."));
    auto patterns = withAddedWatchPattern(settings.watchPatterns.get(), typed);
    if (!patterns) return std::string(tr("That program is already in the list."));
    return settings.watchPatterns.set(std::move(*patterns));
}

PushFieldEdit checkPushField(PushField field, std::string_view typed) {
    PushFieldEdit edit{std::string(trimmedPattern(typed)), std::nullopt};
    switch (field) {
        case PushField::ntfyServer:
            if (!isValidHttpUrl(edit.text)) edit.refusal = tr("Enter a web address starting with https://");
            break;
        case PushField::ntfyTopic:
            if (edit.text.size() > 64 || !onlyWordCharacters(edit.text, "-_")) {
                edit.refusal = tr("A topic is up to 64 letters, digits, \u201c-\u201d and \u201c_\u201d.");
            }
            break;
        case PushField::pushoverToken:
        case PushField::pushoverUser:
            if (!onlyWordCharacters(edit.text, "")) edit.refusal = tr("Pushover keys are letters and digits only.");
            break;
    }
    return edit;
}

Setting<std::string>& pushFieldSetting(AppSettings& settings, PushField field) {
    switch (field) {
        case PushField::ntfyServer:
            return settings.ntfyServer;
        case PushField::ntfyTopic:
            return settings.ntfyTopic;
        case PushField::pushoverToken:
            return settings.pushoverToken;
        case PushField::pushoverUser:
            break;
    }
    return settings.pushoverUser;
}

}  // namespace vigilo
