#include "safety/fan_preset.h"

#include "support/tr.h"

namespace vigilo {

std::string_view rawValue(FanPreset preset) {
    switch (preset) {
        case FanPreset::quiet: return "quiet";
        case FanPreset::balanced: return "balanced";
        case FanPreset::aiWorkload: return "aiWorkload";
        case FanPreset::emergencyMax: return "emergencyMax";
    }
    return "balanced";
}

std::optional<FanPreset> fanPresetFromRaw(std::string_view raw) {
    for (auto preset : kAllFanPresets) {
        if (rawValue(preset) == raw) return preset;
    }
    return std::nullopt;
}

const char* shownName(FanPreset preset) {
    switch (preset) {
        case FanPreset::quiet: return tr("Quiet");
        case FanPreset::balanced: return tr("Balanced");
        case FanPreset::aiWorkload: return tr("AI Workload");
        case FanPreset::emergencyMax: return tr("Emergency Max");
    }
    return tr("Balanced");
}

}  // namespace vigilo
