#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "activity/activity_kind.h"
#include "support/clock.h"

namespace vigilo {

// One entry of the activity history. A plain value.
struct ActivityEvent {
    std::string id;  // canonical upper-case UUID
    WallTime at;     // whole seconds once stored
    ActivityKind kind = ActivityKind::launched;
    std::optional<std::int64_t> value;
    std::optional<std::string> text;

    bool operator==(const ActivityEvent&) const = default;

    // The title format looked up in the current locale, filled with `value`
    // (0 when absent) and `text` (empty when absent).
    std::string localizedTitle() const;
    std::string_view symbol() const { return activitySymbol(kind); }
};

// Thrown by activityEventFromJson; what() says which key was wrong.
class ActivityDecodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// {"id", "at", "kind", "value"?, "text"?}; absent optionals are left out.
nlohmann::json activityEventToJson(const ActivityEvent& event);
ActivityEvent activityEventFromJson(const nlohmann::json& object);

// Fills a printf-style title: "%d" with `value`, "%@" with `text`, "%%" with
// "%". Any other sequence stays as it is.
std::string fillTitleFormat(std::string_view format, std::int64_t value, std::string_view text);

// "2025-03-04T21:15:09Z": UTC, whole seconds (the fraction is dropped).
std::string formatIso8601(WallTime time);
// Accepts that form, an optional fraction and a "+hh:mm" offset instead of
// "Z"; nullopt for anything else.
std::optional<WallTime> parseIso8601(std::string_view text);

// A new random (version 4) UUID in upper case.
std::string makeUuid();
// `text` as a canonical upper-case UUID; nullopt when it is not a UUID.
std::optional<std::string> canonicalUuid(std::string_view text);

}  // namespace vigilo
