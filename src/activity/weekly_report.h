#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <vector>

#include "activity/activity_event.h"
#include "support/clock.h"

namespace vigilo {

// The last seven days of the activity history in figures. A plain value.
struct WeeklyReport {
    double runtimeHours = 0;
    std::int64_t protectedSessions = 0;
    std::int64_t lidClosedSessions = 0;
    std::int64_t lowBatterySaves = 0;
    std::int64_t thermalWarnings = 0;
    std::int64_t emergencySleeps = 0;
    double longestSessionHours = 0;
    WallTime generatedAt{};

    bool operator==(const WeeklyReport&) const = default;

    // The week before `now` of `events` (any order; events dated after `now`
    // count). A session that starts before the week adds no time; one still
    // open counts up to `now`.
    static WeeklyReport generate(const std::vector<ActivityEvent>& events, WallTime now);
};

// {"runtimeHours", ..., "generatedAt": ISO 8601 UTC}, the fields in order.
nlohmann::ordered_json weeklyReportToJson(const WeeklyReport& report);
// Every key is required; throws JsonTypeError naming the first wrong one.
WeeklyReport weeklyReportFromJson(const nlohmann::json& object);

}  // namespace vigilo
