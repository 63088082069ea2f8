#include "activity/weekly_report.h"

#include <gtest/gtest.h>

#include "activity/workstation_score.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;
using K = ActivityKind;
using Rating = WorkstationScore::Rating;

const WallTime kNow = *parseIso8601("2025-03-10T12:00:00Z");
constexpr std::chrono::seconds kDay = 24h;
// Not one of the eighteen kinds: a value the walk must pass over.
const auto kUnknown = static_cast<ActivityKind>(kActivityKindCount + 3);

struct At {
    std::chrono::seconds fromNow;
    ActivityKind kind;
};

struct Case {
    const char* name;
    std::vector<At> events;  // in the order the log hands them over
    double runtime, longest;
    std::int64_t sessions, lidClosed, lowBattery, thermal, emergency;
    std::int64_t score;
    Rating rating;
};

std::vector<At> repeated(int count, ActivityKind kind) { return std::vector<At>(count, At{-1h, kind}); }

TEST(WeeklyReport, GenerateAndScore) {
    const Case cases[] = {
        {"empty log", {}, 0, 0, 0, 0, 0, 0, 0, 100, Rating::good},
        {"one session, newest first",
         {{-150min, K::thermalCritical}, {-150min, K::keepAwakeStopped}, {-4h, K::autoStopped}, {-4h, K::clamshellOn},
          {-5h, K::thermalCritical}, {-5h, K::keepAwakeStarted}, {-6h, K::thermalCritical}},
         2.5, 2.5, 1, 1, 1, 3, 0, 76, Rating::thermalRisk},
        {"open session runs to now", {{-6 * kDay, K::keepAwakeStarted}}, 144, 144, 1, 0, 0, 0, 0, 100, Rating::good},
        {"sessions begun before the week add nothing",
         {{-1 * kDay, K::keepAwakeStopped}, {-8 * kDay, K::keepAwakeStarted}, {-8 * kDay, K::keepAwakeStopped},
          {-9 * kDay, K::keepAwakeStarted}},
         0, 0, 0, 0, 0, 0, 0, 100, Rating::good},
        {"a second start drops the first",
         {{-1h, K::keepAwakeStopped}, {-2h, K::keepAwakeStarted}, {-3h, K::keepAwakeStarted}},
         1, 1, 2, 0, 0, 0, 0, 100, Rating::good},
        {"out of order, future and unknown events count by their time",
         {{-3h, K::keepAwakeStarted}, {1h, K::keepAwakeStopped}, {-2h, kUnknown}, {1 * kDay, K::clamshellOn},
          {-1h, K::keepAwakeStopped}, {-30min, K::keepAwakeStarted}},
         3.5, 2, 2, 1, 0, 0, 0, 100, Rating::good},
        {"equal times keep the log's order",
         {{-2h, K::keepAwakeStopped}, {-2h, K::keepAwakeStarted}}, 2, 2, 1, 0, 0, 0, 0, 100, Rating::good},
        {"the week starts exactly seven days back",
         {{-7 * kDay, K::clamshellOn}, {-7 * kDay - 1s, K::thermalCritical}}, 0, 0, 0, 1, 0, 0, 0, 100, Rating::good},
        {"two emergency sleeps", repeated(2, K::batteryForceSleep), 0, 0, 0, 0, 2, 0, 2, 88, Rating::batteryRisk},
        {"two thermal warnings and one emergency sleep",
         {{-1h, K::thermalCritical}, {-2h, K::batteryForceSleep}, {-3h, K::thermalCritical}}, 0, 0, 0, 0, 1, 2, 1, 78,
         Rating::good},
        {"thirteen thermal warnings", repeated(13, K::thermalCritical), 0, 0, 0, 0, 0, 13, 0, 0, Rating::thermalRisk},
        {"seventeen emergency sleeps", repeated(17, K::batteryForceSleep), 0, 0, 0, 0, 17, 0, 17, 0,
         Rating::batteryRisk},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ActivityEvent> events;
        for (const auto& e : c.events) events.push_back({.id = makeUuid(), .at = kNow + e.fromNow, .kind = e.kind});
        const auto report = WeeklyReport::generate(events, kNow);
        EXPECT_EQ(report, (WeeklyReport{c.runtime, c.sessions, c.lidClosed, c.lowBattery, c.thermal, c.emergency,
                                        c.longest, kNow}));
        EXPECT_EQ(WorkstationScore::compute(report), (WorkstationScore{c.score, c.rating}));
    }
}

}  // namespace
}  // namespace vigilo
