#pragma once

#include <array>
#include <string_view>

namespace vigilo {

// The privileged helper's verbs, each under a polkit action of its own.
//
// pkexec decides which action a run falls under by the helper's path and its
// first argument: the first action in polkitd's list whose exec.path matches
// and whose exec.argv1, where it has one, equals argv[1]. An action without
// argv1 would match every verb, in an order that differs between machines.
// So every verb has exactly one action with its word as argv1; the policy
// file is generated from this table, the helper reads its verbs from it, and
// the application asks polkit about the very action pkexec will decide on.
enum class HelperVerb { lidDropIn, fan, installCli };

struct HelperVerbAction {
    HelperVerb verb;
    std::string_view word;      // the helper's argv[1]
    std::string_view actionId;  // the polkit action
    std::string_view description;
    std::string_view message;   // what the password prompt says
};

inline constexpr std::array<HelperVerbAction, 3> kHelperVerbActions{{
    {HelperVerb::lidDropIn, "lid-drop-in", "com.vigilo.app.closed-lid",
     "Keep the computer running with the lid closed", "Authentication is required to change what closing the lid does"},
    {HelperVerb::fan, "fan", "com.vigilo.app.fan-control", "Control the fan speed",
     "Authentication is required to control the fans"},
    {HelperVerb::installCli, "install-cli", "com.vigilo.app.install-cli", "Install the vigilo command for all users",
     "Authentication is required to install the vigilo command"},
}};

constexpr const HelperVerbAction& helperVerbAction(HelperVerb verb) {
    for (const auto& entry : kHelperVerbActions) {
        if (entry.verb == verb) return entry;
    }
    return kHelperVerbActions.front();  // unreachable: every verb is in the table
}

// The entry whose word is `word`, or nullptr.
constexpr const HelperVerbAction* helperVerbActionForWord(std::string_view word) {
    for (const auto& entry : kHelperVerbActions) {
        if (entry.word == word) return &entry;
    }
    return nullptr;
}

// The `fan` verb's two sub-commands (its argv[2]): a manual duty cycle or
// speed, and handing the fan back to the chip's automatic mode. One verb, so
// the authorisation a person gives for a preset also covers the hand-back.
inline constexpr std::string_view kFanManualWord = "manual";
inline constexpr std::string_view kFanAutoWord = "auto";

// A fan's duty cycle runs from 0 to full scale. Below a fifth of it many fans
// stand still: the helper refuses a manual value below that, and a preset
// never goes below it whatever the chip says its own floor is.
inline constexpr long kFanFullScalePwm = 255;
inline constexpr long kFanLowestManualPwm = 51;

}  // namespace vigilo
