#include "rules/rule.h"

#include <gtest/gtest.h>

#include <limits>

namespace vigilo {
namespace {

using C = RuleCondition;
using A = RuleAction;

TEST(RuleModelTest, ConditionSummaries) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        RuleCondition condition;
        const char* summary;
    } cases[] = {
        {C::ProcessRunning{"claude"}, "claude is running"},
        {C::BatteryBelow{10}, "Battery below 10%"},
        {C::BatteryAbove{80}, "Battery above 80%"},
        {C::TemperatureAbove{90.7, 300}, "Temperature above 90\u00b0C for 300s"},
        {C::TemperatureAbove{-3.9, 0}, "Temperature above -3\u00b0C for 0s"},
        // No integer holds these: the number is shown as it is.
        {C::TemperatureAbove{1e300, 5}, "Temperature above 1e+300\u00b0C for 5s"},
        {C::TemperatureAbove{-inf, 5}, "Temperature above -inf\u00b0C for 5s"},
        {C::OnBatteryPower{}, "On battery power"},
        {C::OnACPower{}, "On AC power"},
        {C::LidClosed{}, "Lid is closed"},
        {C::NoMatchingWorkloadFor{600}, "No AI workload for 600s"},
        {C::TimeWindow{1320, 420}, "Every day 22:00\u201307:00"},
        {C::TimeWindow{540, 1080, kMondayToFriday}, "Weekdays 09:00\u201318:00"},
        {C::TimeWindow{600, 960, static_cast<WeekdaySet>(weekdayBit(6) | weekdayBit(7))}, "Sat, Sun 10:00\u201316:00"},
        {C::TimeWindow{0, 60, static_cast<WeekdaySet>(weekdayBit(1) | weekdayBit(3) | weekdayBit(5))},
         "Mon, Wed, Fri 00:00\u201301:00"},
        {C::RemoteSessionActive{}, "Someone is logged in remotely"},
        {C::BatteryBelow{INT64_MIN}, "Battery below -9223372036854775808%"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.condition.localizedSummary(), c.summary);
}

TEST(RuleModelTest, ActionSummaries) {
    const struct {
        RuleAction action;
        const char* summary;
    } cases[] = {
        {A::StartKeepAwake{}, "Keep awake"},
        {A::StopKeepAwake{}, "Stop keep-awake"},
        {A::SetCoolingPreset{FanPreset::aiWorkload}, "Cooling: AI Workload"},
        {A::Notify{"t", "b"}, "Send a notification"},
        {A::SleepMac{}, "Sleep the computer"},
        {A::StartClamshell{}, "Start closed-lid mode"},
        {A::StopClamshell{}, "Stop closed-lid mode"},
        {A::AppendActivityLog{"m"}, "Log to activity"},
        {A::KeepAwakeWhileHeld{}, "Keep awake while this holds"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.action.localizedSummary(), c.summary);
}

TEST(RuleModelTest, SummaryLineJoinsConditionsAndActions) {
    Rule rule;
    rule.conditions = {C::BatteryBelow{5}, C::OnBatteryPower{}};
    rule.actions = {A::SleepMac{}};
    EXPECT_EQ(rule.summaryLine(), "If Battery below 5%, On battery power \u2192 Sleep the computer");
}

TEST(RuleModelTest, RequiredHoldIsTheLongestDurationOfAnyCondition) {
    const struct {
        std::vector<RuleCondition> conditions;
        std::int64_t hold;
    } cases[] = {
        {{C::TemperatureAbove{95, 120}, C::NoMatchingWorkloadFor{600}}, 600},
        {{C::LidClosed{}}, 0},
        {{}, 0},
        {{C::TemperatureAbove{95, -50}}, 0},
        {{C::NoMatchingWorkloadFor{INT64_MAX}, C::TemperatureAbove{1, 5}}, INT64_MAX},
    };
    for (const auto& c : cases) {
        Rule rule;
        rule.conditions = c.conditions;
        EXPECT_EQ(rule.requiredHoldSeconds(), c.hold);
    }
}

}  // namespace
}  // namespace vigilo
