#pragma once

#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "safety/fan_preset.h"

namespace vigilo {

// One thing a Smart Rule makes the application do. A plain value; how it is
// carried out is the application controller's business.
struct RuleAction {
    struct StartKeepAwake {
        bool operator==(const StartKeepAwake&) const = default;
    };
    struct StopKeepAwake {
        bool operator==(const StopKeepAwake&) const = default;
    };
    struct SetCoolingPreset {
        FanPreset preset = FanPreset::balanced;
        bool operator==(const SetCoolingPreset&) const = default;
    };
    struct Notify {
        std::string title;
        std::string body;
        bool operator==(const Notify&) const = default;
    };
    struct SleepMac {
        bool operator==(const SleepMac&) const = default;
    };
    struct StartClamshell {
        bool operator==(const StartClamshell&) const = default;
    };
    struct StopClamshell {
        bool operator==(const StopClamshell&) const = default;
    };
    struct AppendActivityLog {
        std::string message;
        bool operator==(const AppendActivityLog&) const = default;
    };
    // Not fired but held: the computer is kept awake for as long as the
    // rule's conditions hold, beside whatever the mode does, and no longer.
    struct KeepAwakeWhileHeld {
        bool operator==(const KeepAwakeWhileHeld&) const = default;
    };

    // In declaration order; the index is the position in kActionCaseNames.
    using Case = std::variant<StartKeepAwake, StopKeepAwake, SetCoolingPreset, Notify, SleepMac, StartClamshell,
                              StopClamshell, AppendActivityLog, KeepAwakeWhileHeld>;

    template <class C>
        requires std::is_constructible_v<Case, C>
    RuleAction(C caseValue) : value(std::move(caseValue)) {}

    Case value;

    bool operator==(const RuleAction&) const = default;

    // "Keep awake", "Cooling: AI Workload", ... in the current locale.
    std::string localizedSummary() const;
};

// The JSON case names, in the order of RuleAction::Case.
inline constexpr const char* kActionCaseNames[] = {
    "startKeepAwake", "stopKeepAwake",  "setCoolingPreset", "notify",
    "sleepMac",       "startClamshell", "stopClamshell",    "appendActivityLog", "keepAwakeWhileHeld",
};

}  // namespace vigilo
