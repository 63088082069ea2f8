#include "rules/rule_evaluation.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vigilo {
namespace {

using C = RuleCondition;

TEST(RuleEvaluationTest, WhenEachConditionHolds) {
    RuleInputs laptop;  // on battery at 7%, 91.5 °C, lid shut, 22:00
    laptop.batteryPercent = 7;
    laptop.hasBattery = true;
    laptop.onAC = false;
    laptop.temperatureC = 91.5;
    laptop.lidClosed = true;
    laptop.nowMinutes = 1320;
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

}  // namespace
}  // namespace vigilo
