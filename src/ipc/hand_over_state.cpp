#include "ipc/hand_over_state.h"

#include <time.h>

#include <array>
#include <cmath>
#include <utility>

#include "support/json_wire.h"

namespace vigilo {

namespace {

using Mode = HandOverState::Mode;

constexpr std::array<std::pair<Mode, std::string_view>, 5> kModeNames{{
    {Mode::off, "off"},
    {Mode::on, "on"},
    {Mode::timer, "timer"},
    {Mode::chargingOnly, "chargingOnly"},
    {Mode::autoMode, "auto"},
}};

// Whole milliseconds first, so that the number reads as it should (…400.25).
double epochSeconds(WallTime time) {
    const auto milliseconds = std::chrono::round<std::chrono::milliseconds>(time.time_since_epoch());
    return static_cast<double>(milliseconds.count()) / 1000.0;
}

// An end from a peer may be anything; converting one far from the epoch
// could overflow the clock's nanosecond count (good until 2262).
std::optional<WallTime> wallTimeFromEpoch(double seconds) {
    constexpr double kLatest = 8.0e9;  // the year 2223
    if (!std::isfinite(seconds) || seconds < 0 || seconds > kLatest) return std::nullopt;
    return WallTime(std::chrono::duration_cast<WallTime::duration>(std::chrono::duration<double>(seconds)));
}

std::string utcText(WallTime time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm utc{};
    char text[32] = "?";
    if (::gmtime_r(&seconds, &utc)) std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace

std::string_view handOverModeName(Mode mode) {
    for (const auto& [value, name] : kModeNames) {
        if (value == mode) return name;
    }
    return "off";
}

std::optional<Mode> handOverModeNamed(std::string_view name) {
    for (const auto& [value, known] : kModeNames) {
        if (known == name) return value;
    }
    return std::nullopt;
}

std::string describeHandOver(const HandOverState& state) {
    std::string text(handOverModeName(state.mode));
    if (state.timerEndsAt) text += " until " + utcText(*state.timerEndsAt);
    if (state.closedLid) text += ", closed-lid mode on";
    return text;
}

nlohmann::ordered_json handOverToJson(const HandOverState& state) {
    nlohmann::ordered_json out;
    out["mode"] = std::string(handOverModeName(state.mode));
    if (state.timerEndsAt) out["timerEndsAt"] = epochSeconds(*state.timerEndsAt);
    out["autoMode"] = state.mode == Mode::autoMode;
    out["closedLid"] = state.closedLid;
    return out;
}

HandOverState handOverFromJson(const nlohmann::json& object) {
    if (!object.is_object()) throw JsonTypeError("key 'resume' must be an object");
    HandOverState state;
    const auto mode = optionalString(object, "mode");
    state.mode = handOverModeNamed(mode.value_or("off")).value_or(Mode::off);
    if (optionalBool(object, "autoMode").value_or(false)) state.mode = Mode::autoMode;
    state.closedLid = optionalBool(object, "closedLid").value_or(false);
    if (state.mode == Mode::timer) {
        const auto end = optionalDouble(object, "timerEndsAt");
        state.timerEndsAt = end ? wallTimeFromEpoch(*end) : std::nullopt;
        if (!state.timerEndsAt) state.mode = Mode::off;
    }
    return state;
}

}  // namespace vigilo
