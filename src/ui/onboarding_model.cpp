#include "ui/onboarding_model.h"

#include "app/app_settings.h"
#include "cli/command_on_path.h"
#include "support/tr.h"

namespace vigilo {

namespace {

std::vector<OnboardingStep> makeSteps() {
    return {
        {tr("Keep working while you\u2019re away"), "vigilo-moon-symbolic",
         tr("Vigilo keeps your computer awake while your long jobs run \u2014 and lets it sleep again the moment "
            "they finish. No more babysitting the screen."),
         {{"vigilo-terminal-symbolic", tr("Claude Code & Cursor"),
           tr("Long agent runs don\u2019t get cut off mid-task.")},
          {"package-x-generic", tr("Docker & builds"), tr("Big builds and containers finish uninterrupted.")},
          {"vigilo-binoculars-symbolic", tr("Ollama & training"), tr("Local models and training jobs keep running.")}}},
        {tr("Made for stepping away"), "vigilo-lid-symbolic",
         tr("Close the lid and head out \u2014 your AI tasks keep running on the way. (That\u2019s Closed-Lid mode, "
            "coming up.)"),
         {{"vigilo-timer-symbolic", tr("Overnight tasks"),
           tr("Kick off a long run before bed and wake up to finished work, not a slept computer.")}}},
        {tr("Allow notifications"), "preferences-system-notifications-symbolic",
         tr("Vigilo uses desktop notifications to tell you when a task finishes, when the battery is low, and when "
            "the computer runs hot. They're local \u2014 nothing leaves your machine unless you also configure phone "
            "push later."),
         {}},
        {tr("Closed-Lid mode"), "vigilo-lid-symbolic",
         tr("Want the computer to keep running with the lid shut \u2014 no external monitor needed? That\u2019s "
            "Closed-Lid mode. It\u2019s off until you ask for it."),
         {{"dialog-password", "",
           tr("In a desktop session Vigilo asks the system to ignore the lid while the mode is on \u2014 no password "
              "needed. Elsewhere only an administrator can allow it.")},
          {"edit-undo", "",
           tr("Vigilo puts everything back automatically when you turn the mode off, quit, or relaunch.")},
          {"weather-windy-symbolic", "",
           tr("Keep the computer in open air (not a closed bag) so it can cool. Vigilo drops the mode automatically "
              "if it runs too hot.")}}},
        {tr("Battery & thermal protection"), "vigilo-thermometer-symbolic",
         tr("Keeping a computer awake can drain the battery and trap heat. Vigilo watches both so a long task "
            "can\u2019t cook your computer or drain it to a hard shutdown \u2014 automatically, with no setup:"),
         {{"battery-low", "",
           tr("On low battery it releases keep-awake, then sleeps the computer before it can shut down hard.")},
          {"vigilo-thermometer-symbolic", "",
           tr("If the computer gets critically hot it backs off \u2014 dropping Closed-Lid mode and maxing fans "
              "where possible.")}}},
        {tr("Try it now"), "vigilo-binoculars-symbolic",
         tr("Turn on Auto Mode, then run something in a terminal \u2014 claude, ollama run llama3, python train.py, "
            "npm run build. Vigilo spots it within seconds and keeps the computer awake."),
         {}},
    };
}

}  // namespace

const std::vector<OnboardingStep>& onboardingSteps() {
    // Built once the locale is set, at the window's first use.
    static const std::vector<OnboardingStep> steps = makeSteps();
    return steps;
}

std::string OnboardingProgress::progressText() const {
    return trFormat("Step {} of {}", index_ + 1, onboardingSteps().size());
}

void OnboardingProgress::next() {
    if (!isLast()) ++index_;
}

void OnboardingProgress::back() {
    if (index_ > 0) --index_;
}

void finishOnboarding(AppSettings& settings) { settings.hasCompletedOnboarding.set(true); }

OnboardingCommandPart onboardingCommandPart(const VigiloOnPath& onPath) {
    const std::string heading = tr("Optional: the `vigilo` command");
    if (onPath.other) {
        return {heading,
                trFormat("Wrap any command from the terminal: vigilo -- python train.py. It is installed already ({}).",
                         onPath.other->string()),
                false};
    }
    return {heading,
            tr("Wrap any command from the terminal: vigilo -- python train.py. Installs to ~/.local/bin (no password "
               "needed)."),
            true};
}

std::string testNotificationAnswer(bool delivered) {
    return delivered ? tr("Delivered")
                     : tr("No notification service answered \u2014 check your desktop's notification settings");
}

}  // namespace vigilo
