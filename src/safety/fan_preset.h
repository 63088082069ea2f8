#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace vigilo {

// How the fans are driven. Stored and exchanged as the raw strings.
enum class FanPreset {
    quiet,         // forced, target = minimum speed (a duty-cycle fan: its floor, never standing still)
    balanced,      // automatic: the system controls the fan
    aiWorkload,    // forced, target = minimum + 0.7 x (maximum - minimum)
    emergencyMax,  // forced, target = maximum speed
};

inline constexpr std::array<FanPreset, 4> kAllFanPresets{FanPreset::quiet, FanPreset::balanced,
                                                          FanPreset::aiWorkload, FanPreset::emergencyMax};

// "quiet", "balanced", "aiWorkload", "emergencyMax".
std::string_view rawValue(FanPreset preset);
// Nothing for any other string.
std::optional<FanPreset> fanPresetFromRaw(std::string_view raw);
// "Quiet", "Balanced", "AI Workload", "Emergency Max", translated.
const char* shownName(FanPreset preset);

}  // namespace vigilo
