#include "activity/weekly_report.h"

#include <algorithm>

#include "support/json_wire.h"

namespace vigilo {

namespace {

constexpr std::chrono::seconds kWeek{7 * 86400};

double hours(std::chrono::duration<double> span) { return span.count() / 3600.0; }

// Sums the keep-awake sessions of `events`, oldest first. A second start
// drops the open one uncounted as time: the stop that closed it was lost.
struct SessionWalk {
    bool open = false;
    WallTime openStart{};
    std::chrono::duration<double> total{0}, longest{0};
    std::int64_t sessions = 0;

    void close(WallTime end) {
        const std::chrono::duration<double> span = end - openStart;
        total += span;
        longest = std::max(longest, span);
        open = false;
    }

    void step(const ActivityEvent& event) {
        if (event.kind == ActivityKind::keepAwakeStarted) {
            ++sessions;
            open = true;
            openStart = event.at;
        } else if (event.kind == ActivityKind::keepAwakeStopped && open) {
            close(event.at);
        }
    }
};

}  // namespace

WeeklyReport WeeklyReport::generate(const std::vector<ActivityEvent>& events, WallTime now) {
    const WallTime weekStart = now - kWeek;
    std::vector<const ActivityEvent*> kept;
    for (const auto& event : events) {
        if (event.at >= weekStart) kept.push_back(&event);
    }
    std::stable_sort(kept.begin(), kept.end(), [](const auto* a, const auto* b) { return a->at < b->at; });

    WeeklyReport report{.generatedAt = now};
    SessionWalk walk;
    for (const auto* event : kept) {
        walk.step(*event);
        switch (event->kind) {
        case ActivityKind::clamshellOn: ++report.lidClosedSessions; break;
        case ActivityKind::autoStopped: ++report.lowBatterySaves; break;
        case ActivityKind::batteryForceSleep:
            ++report.lowBatterySaves;
            ++report.emergencySleeps;
            break;
        case ActivityKind::thermalCritical: ++report.thermalWarnings; break;
        default: break;
        }
    }
    if (walk.open) walk.close(now);
    report.runtimeHours = hours(walk.total);
    report.longestSessionHours = hours(walk.longest);
    report.protectedSessions = walk.sessions;
    return report;
}

nlohmann::ordered_json weeklyReportToJson(const WeeklyReport& report) {
    nlohmann::ordered_json out;
    out["runtimeHours"] = report.runtimeHours;
    out["protectedSessions"] = report.protectedSessions;
    out["lidClosedSessions"] = report.lidClosedSessions;
    out["lowBatterySaves"] = report.lowBatterySaves;
    out["thermalWarnings"] = report.thermalWarnings;
    out["emergencySleeps"] = report.emergencySleeps;
    out["longestSessionHours"] = report.longestSessionHours;
    out["generatedAt"] = formatIso8601(report.generatedAt);
    return out;
}

WeeklyReport weeklyReportFromJson(const nlohmann::json& object) {
    if (!object.is_object()) throw JsonTypeError("the report is " + jsonTypeName(object) + ", not an object");
    const std::string at = requiredValue(optionalString(object, "generatedAt"), "generatedAt");
    const auto generatedAt = parseIso8601(at);
    if (!generatedAt) throw JsonTypeError("key 'generatedAt': not an ISO 8601 date: " + at);
    return {
        .runtimeHours = requiredValue(optionalDouble(object, "runtimeHours"), "runtimeHours"),
        .protectedSessions = requiredValue(optionalInt64(object, "protectedSessions"), "protectedSessions"),
        .lidClosedSessions = requiredValue(optionalInt64(object, "lidClosedSessions"), "lidClosedSessions"),
        .lowBatterySaves = requiredValue(optionalInt64(object, "lowBatterySaves"), "lowBatterySaves"),
        .thermalWarnings = requiredValue(optionalInt64(object, "thermalWarnings"), "thermalWarnings"),
        .emergencySleeps = requiredValue(optionalInt64(object, "emergencySleeps"), "emergencySleeps"),
        .longestSessionHours = requiredValue(optionalDouble(object, "longestSessionHours"), "longestSessionHours"),
        .generatedAt = *generatedAt,
    };
}

}  // namespace vigilo
