#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "support/clock.h"

namespace vigilo {

// What "crashguard.json" records while closed-lid mode is on. Dates are
// whole seconds once stored.
struct CrashGuardState {
    bool clamshellArmed = false;
    std::int32_t pid = 0;
    WallTime armedAt;
    WallTime heartbeatAt;

    bool operator==(const CrashGuardState&) const = default;
};

// One JSON object with exactly the four keys, dates as
// "2026-03-01T22:14:05Z".
std::string encodeCrashGuardState(const CrashGuardState& state);

// nullopt unless `text` is an object holding all four keys with the right
// types: a 32-bit pid and dates in UTC without fractions or offsets. Other
// keys are ignored. Never throws.
std::optional<CrashGuardState> decodeCrashGuardState(std::string_view text);

}  // namespace vigilo
