#include "safety/crash_guard_state.h"

#include <nlohmann/json.hpp>

#include <limits>

#include "activity/activity_event.h"
#include "support/json_wire.h"

namespace vigilo {

namespace {

// The date form is strict: a reader that took fractions or offsets would
// accept files this program never writes.
std::optional<WallTime> parseStrictDate(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    auto when = parseIso8601(*text);
    if (!when || formatIso8601(*when) != *text) return std::nullopt;
    return when;
}

}  // namespace

std::string encodeCrashGuardState(const CrashGuardState& state) {
    const nlohmann::json object = {
        {"clamshellArmed", state.clamshellArmed},
        {"pid", state.pid},
        {"armedAt", formatIso8601(state.armedAt)},
        {"heartbeatAt", formatIso8601(state.heartbeatAt)},
    };
    return object.dump();
}

std::optional<CrashGuardState> decodeCrashGuardState(std::string_view text) {
    const auto object = nlohmann::json::parse(text, nullptr, false);
    if (!object.is_object()) return std::nullopt;
    try {
        const auto armed = optionalBool(object, "clamshellArmed");
        const auto pid = optionalInt64(object, "pid");
        const auto armedAt = parseStrictDate(optionalString(object, "armedAt"));
        const auto heartbeatAt = parseStrictDate(optionalString(object, "heartbeatAt"));
        if (!armed || !pid || !armedAt || !heartbeatAt) return std::nullopt;
        if (*pid < std::numeric_limits<std::int32_t>::min() || *pid > std::numeric_limits<std::int32_t>::max()) {
            return std::nullopt;
        }
        return CrashGuardState{*armed, static_cast<std::int32_t>(*pid), *armedAt, *heartbeatAt};
    } catch (const JsonTypeError&) {
        return std::nullopt;
    }
}

}  // namespace vigilo
