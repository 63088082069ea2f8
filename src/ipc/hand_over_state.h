#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

#include "support/clock.h"

namespace vigilo {

// What a headless instance handing over to the tray was doing, so that the
// tray carries on with it: the keep-awake mode the person chose and whether
// closed-lid mode was on. Modes that belong to the process itself (a command
// it runs) are handed over as off.
struct HandOverState {
    enum class Mode { off, on, timer, chargingOnly, autoMode };

    Mode mode = Mode::off;
    // The timer's end in wall time; set with Mode::timer only.
    std::optional<WallTime> timerEndsAt;
    bool closedLid = false;

    bool operator==(const HandOverState&) const = default;
};

// The wire names: "off", "on", "timer", "chargingOnly", "auto".
std::string_view handOverModeName(HandOverState::Mode mode);
std::optional<HandOverState::Mode> handOverModeNamed(std::string_view name);

// For the log on both sides: "timer until 2024-05-01T09:30:00Z, closed-lid
// mode on".
std::string describeHandOver(const HandOverState& state);

// The reply's "resume" object: mode, timerEndsAt (seconds since the Unix
// epoch, UTC, with a fraction), autoMode, closedLid.
nlohmann::ordered_json handOverToJson(const HandOverState& state);
// Strict as the other readers: a wrong type throws JsonTypeError. A mode this
// version does not know resumes as off, unless autoMode says Auto Mode; a
// timer without a usable end is not resumed.
HandOverState handOverFromJson(const nlohmann::json& object);

}  // namespace vigilo
