#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vigilo {

// The seconds a `vigilo timer` argument asks for: plain seconds ("3600"), or
// whole numbers with the units h, m and s, each at most once and in that
// order ("90m", "1h30m", "45s", "2h15s"). Digits only: no sign, no fraction,
// no spaces, units in lower case. Nullopt for any other form and for a value
// too large to count in 64 bits; zero is returned as zero (the caller
// decides what is too short). Values over the timers' one-year cap are
// returned as they are, so that the caller can say it capped them.
std::optional<std::int64_t> parseTimerDuration(std::string_view text);

}  // namespace vigilo
