#include "ui/awake_band.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace vigilo {
namespace {

using namespace std::chrono_literals;
using R = AwakeReason;
using K = ActivityKind;

const WallTime kNow = WallTime{} + 1'800'000'000s;

ActivityEvent event(Duration before, K kind, std::optional<std::string> text = std::nullopt) {
    return {"", kNow - before, kind, std::nullopt, std::move(text)};
}

// Spans as hours before now: {from, to, reason}.
struct Span {
    double from;
    double to;
    R reason;
};

struct Case {
    const char* name;
    std::vector<ActivityEvent> log;
    std::vector<Span> band;
};

TEST(AwakeBand, SpansFromTheActivityLogOverTheLast24Hours) {
    const Case cases[] = {
        {"nothing", {}, {}},
        {"each reason from its start to its stop",
         {event(10h, K::keepAwakeStarted, "Auto Mode"), event(8h, K::keepAwakeStopped),
          event(7h, K::keepAwakeStarted, "Timer Active"), event(6h, K::timerFinished),
          event(5h, K::keepAwakeStarted, "Awake On"), event(4h, K::keepAwakeStopped),
          event(3h, K::clamshellOn), event(2h, K::clamshellOff), event(90min, K::ruleHoldStarted),
          event(1h, K::ruleHoldEnded)},
         {{10, 8, R::autoMode}, {7, 6, R::timer}, {5, 4, R::manual}, {3, 2, R::closedLid}, {1.5, 1, R::rule}}},
        {"still on ends now; closed-lid alongside the mode",
         {event(2h, K::keepAwakeStarted, "Awake On"), event(1h, K::clamshellOn)},
         {{2, 0, R::manual}, {1, 0, R::closedLid}}},
        {"started before the 24 hours: cut at their start",
         {event(30h, K::keepAwakeStarted, "Auto Mode"), event(20h, K::keepAwakeStopped),
          event(40h, K::clamshellOn), event(35h, K::clamshellOff)},
         {{24, 20, R::autoMode}}},
        {"a launch ends what the last run left open, and not what it starts in the same second",
         {event(6h, K::keepAwakeStarted, "Auto Mode"), event(5h, K::keepAwakeStarted, "Timer Active"),
          event(5h, K::launched), event(4h, K::keepAwakeStopped)},
         {{6, 5, R::autoMode}, {5, 4, R::timer}}},
        {"in any order, with events after now (a clock set back) left out",
         {event(1h, K::keepAwakeStopped), event(-5h, K::keepAwakeStarted, "Awake On"),
          event(3h, K::keepAwakeStarted, "Timer Active"), event(-876000h, K::keepAwakeStopped),
          event(876000h, K::clamshellOn)},
         {{24, 0, R::closedLid}, {3, 1, R::timer}}},
    };
    for (const auto& c : cases) {
        std::vector<AwakeSpan> expected;
        for (const auto& span : c.band) {
            expected.push_back({kNow - std::chrono::duration_cast<Duration>(std::chrono::duration<double, std::ratio<3600>>(span.from)),
                                kNow - std::chrono::duration_cast<Duration>(std::chrono::duration<double, std::ratio<3600>>(span.to)),
                                span.reason});
        }
        EXPECT_EQ(awakeBand(c.log, kNow), expected) << c.name;
    }
}

// Days by the local calendar; overlapping reasons count once; a span across
// midnight is split between its days.
TEST(AwakeBand, HoursPerDayOverTheLastSevenDays) {
    const char* zone = std::getenv("TZ");
    const std::string saved = zone ? zone : "";
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    // 2027-01-15 12:00 UTC, a Friday.
    const WallTime now = WallTime{} + 1'800'000'000s + 4h;
    const std::vector<ActivityEvent> log{
        {"", now - 30h, K::keepAwakeStarted, std::nullopt, "Auto Mode"},  // Thursday 06:00
        {"", now - 26h, K::clamshellOn, std::nullopt, std::nullopt},
        {"", now - 25h, K::keepAwakeStopped, std::nullopt, std::nullopt},
        {"", now - 24h, K::clamshellOff, std::nullopt, std::nullopt},       // Thursday 12:00
        {"", now - 14h, K::keepAwakeStarted, std::nullopt, "Awake On"},    // Thursday 22:00
        {"", now - 10h, K::keepAwakeStopped, std::nullopt, std::nullopt},  // Friday 02:00
        {"", now + 400h, K::keepAwakeStarted, std::nullopt, "Awake On"},
    };
    const auto days = hoursAwakeByDay(log, now);
    if (zone) {
        ::setenv("TZ", saved.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
    const std::vector<DayHours> expected{{"Sat", 0}, {"Sun", 0}, {"Mon", 0}, {"Tue", 0},
                                         {"Wed", 0}, {"Thu", 8}, {"Fri", 2}};
    EXPECT_EQ(days, expected);
}

}  // namespace
}  // namespace vigilo
