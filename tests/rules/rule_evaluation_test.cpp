#include "rules/rule_evaluation.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "support/local_time.h"

namespace vigilo {
namespace {

using C = RuleCondition;
using namespace std::chrono;

constexpr int kMon = 1, kWed = 3, kThu = 4, kFri = 5, kSat = 6, kSun = 7;

RuleInputs at(int weekday, int hours, int minutes) {
    RuleInputs inputs;
    inputs.nowWeekday = weekday;
    inputs.nowMinutes = hours * 60 + minutes;
    return inputs;
}

// Sets TZ for one test and puts the process's zone back after it.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) previous_ = old;
        ::setenv("TZ", zone, 1);
    }
    ~ScopedTimeZone() {
        if (previous_) {
            ::setenv("TZ", previous_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    static void use(const char* zone) { ::setenv("TZ", zone, 1); }

private:
    std::optional<std::string> previous_;
};

TEST(RuleEvaluationTest, WhenEachConditionHolds) {
    RuleInputs laptop;  // on battery at 7%, 91.5 °C, lid shut, 22:00, someone on SSH
    laptop.batteryPercent = 7;
    laptop.hasBattery = true;
    laptop.onAC = false;
    laptop.temperatureC = 91.5;
    laptop.lidClosed = true;
    laptop.nowMinutes = 1320;
    laptop.remoteSessionActive = true;
    RuleInputs desktop;  // no battery, no reading, 06:59
    desktop.batteryPercent = 0;
    desktop.nowMinutes = 419;
    RuleInputs morning = desktop;
    morning.nowMinutes = 420;

    const struct {
        RuleCondition condition;
        bool laptop, desktop, morning;
    } cases[] = {
        {C::BatteryBelow{10}, true, false, false},  // no battery: never, whatever the percentage says
        {C::BatteryBelow{7}, false, false, false},
        {C::BatteryBelow{INT64_MAX}, true, false, false},
        {C::BatteryAbove{INT64_MIN}, true, false, false},
        {C::TemperatureAbove{91.5, 300}, true, false, false},
        {C::TemperatureAbove{-1, 0}, true, true, true},  // no reading counts as -1
        {C::TemperatureAbove{NAN, 0}, false, false, false},
        {C::OnBatteryPower{}, true, false, false},
        {C::OnACPower{}, false, true, true},
        {C::LidClosed{}, true, false, false},
        {C::RemoteSessionActive{}, true, false, false},
        {C::TimeWindow{1320, 420}, true, true, false},
        {C::TimeWindow{600, 600}, false, false, false},
        {C::TimeWindow{0, 1320}, false, true, true},
        {C::TimeWindow{INT64_MIN, INT64_MAX}, true, true, true},
    };
    for (const auto& c : cases) {
        const std::string what = c.condition.localizedSummary();
        EXPECT_EQ(conditionHolds(c.condition, ruleFacts(laptop, {})), c.laptop) << what;
        EXPECT_EQ(conditionHolds(c.condition, ruleFacts(desktop, {})), c.desktop) << what;
        EXPECT_EQ(conditionHolds(c.condition, ruleFacts(morning, {})), c.morning) << what;
    }
}

// A window across midnight belongs to the day it opens on, across the end
// of the week too.
TEST(RuleEvaluationTest, TimeWindowsOnTheirWeekdays) {
    const C::TimeWindow fridayNight{22 * 60, 7 * 60, weekdayBit(kFri)};
    const C::TimeWindow sundayNight{22 * 60, 7 * 60, weekdayBit(kSun)};
    const C::TimeWindow everyNight{22 * 60, 7 * 60};
    const C::TimeWindow officeHours{9 * 60, 18 * 60, kMondayToFriday};
    const C::TimeWindow weekend{10 * 60, 16 * 60, static_cast<WeekdaySet>(weekdayBit(kSat) | weekdayBit(kSun))};
    const struct {
        C::TimeWindow window;
        RuleInputs now;
        bool holds;
    } cases[] = {
        {fridayNight, at(kFri, 22, 0), true},   {fridayNight, at(kSat, 6, 59), true},
        {fridayNight, at(kSat, 7, 0), false},   {fridayNight, at(kFri, 6, 0), false},  // Thursday's night
        {fridayNight, at(kSat, 23, 0), false},  {fridayNight, at(kThu, 23, 0), false},
        {sundayNight, at(kSun, 23, 30), true},  {sundayNight, at(kMon, 3, 0), true},
        {sundayNight, at(kSun, 3, 0), false},   {sundayNight, at(kMon, 22, 0), false},
        {everyNight, at(kMon, 3, 0), true},     {everyNight, at(kWed, 23, 0), true},
        {everyNight, at(kWed, 12, 0), false},
        {officeHours, at(kMon, 9, 0), true},    {officeHours, at(kFri, 17, 59), true},
        {officeHours, at(kFri, 18, 0), false},  {officeHours, at(kSat, 10, 0), false},
        {weekend, at(kSun, 12, 0), true},       {weekend, at(kMon, 12, 0), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(conditionHolds(c.window, ruleFacts(c.now, {})), c.holds)
            << C(c.window).localizedSummary() << " on day " << c.now.nowWeekday << " at " << c.now.nowMinutes;
    }
}

// Berlin's clocks go from 02:00 to 03:00 on Sunday 29 March 2026, at 01:00
// UTC. The zone is read again at every reading: the same instant in UTC
// falls outside the windows.
TEST(RuleEvaluationTest, TimeWindowsFollowTheLocalClockAcrossADaylightSavingChange) {
    ScopedTimeZone berlin("CET-1CEST,M3.5.0,M10.5.0/3");
    const sys_days changeDay = 2026y / March / 29;
    const C::TimeWindow sundayEarly{2 * 60, 4 * 60, weekdayBit(kSun)};
    const C::TimeWindow saturdayNight{22 * 60, 7 * 60, weekdayBit(kSat)};
    const struct {
        C::TimeWindow window;
        minutes utc;  // after midnight UTC on the day of the change
        bool holds;
    } cases[] = {
        {sundayEarly, 59min, false},  // 01:59 CET
        {sundayEarly, 60min, true},   // 03:00 CEST
        {sundayEarly, 119min, true},  // 03:59 CEST
        {sundayEarly, 120min, false},
        {saturdayNight, 4h + 59min, true},  // 06:59 CEST
        {saturdayNight, 5h, false},         // 07:00 CEST, though 06:00 by the clock of the night before
        {saturdayNight, -1h - 1min, true},  // Saturday 23:59 CET
    };
    for (const auto& c : cases) {
        const LocalTimeOfWeek local = localTimeOfWeek(changeDay + c.utc);
        RuleInputs inputs = at(local.weekday, 0, local.minutes);
        EXPECT_EQ(conditionHolds(c.window, ruleFacts(inputs, {})), c.holds)
            << C(c.window).localizedSummary() << " at " << c.utc.count() << " min UTC";
    }
    ScopedTimeZone::use("UTC0");
    EXPECT_EQ(localTimeOfWeek(changeDay + 60min), (LocalTimeOfWeek{kSun, 60}));
    EXPECT_EQ(localTimeOfWeek(changeDay - 1min), (LocalTimeOfWeek{kSat, 23 * 60 + 59}));
}

}  // namespace
}  // namespace vigilo
