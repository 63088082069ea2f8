#include "rules/rule_condition.h"

#include <cmath>

#include "rules/overloaded.h"
#include "support/tr.h"

namespace vigilo {

const char* shortDayName(int isoDay) {
    switch (isoDay) {
        case 1: return tr("Mon");
        case 2: return tr("Tue");
        case 3: return tr("Wed");
        case 4: return tr("Thu");
        case 5: return tr("Fri");
        case 6: return tr("Sat");
        default: return tr("Sun");
    }
}

namespace {

// The temperature cut to a whole number, toward zero. A value no integer can
// hold (only a hand-edited file has one) is shown as the number itself.
std::string wholeDegrees(double celsius) {
    constexpr double kInt64Bound = 9223372036854775808.0;  // 2^63
    if (std::isfinite(celsius) && celsius > -kInt64Bound && celsius < kInt64Bound) {
        return std::to_string(static_cast<std::int64_t>(celsius));
    }
    return fmt::format("{}", celsius);
}

std::string clockTime(std::int64_t minutes) { return fmt::format("{:02}:{:02}", minutes / 60, minutes % 60); }

// "Every day", "Weekdays" (Monday to Friday) or the days' short names in
// week order: "Sat, Sun".
std::string weekdaysText(WeekdaySet days) {
    if ((days & kEveryDay) == kEveryDay) return tr("Every day");
    if ((days & kEveryDay) == kMondayToFriday) return tr("Weekdays");
    std::string text;
    for (int day = 1; day <= 7; ++day) {
        if (!containsWeekday(days, day)) continue;
        if (!text.empty()) text += ", ";
        text += shortDayName(day);
    }
    return text;
}

}  // namespace

std::string RuleCondition::localizedSummary() const {
    return std::visit(
        Overloaded{
            [](const ProcessRunning& c) { return trFormat("{} is running", c.pattern); },
            [](const BatteryBelow& c) { return trFormat("Battery below {}%", c.percent); },
            [](const BatteryAbove& c) { return trFormat("Battery above {}%", c.percent); },
            [](const TemperatureAbove& c) {
                return trFormat("Temperature above {}\u00b0C for {}s", wholeDegrees(c.celsius), c.durationSeconds);
            },
            [](const OnBatteryPower&) { return std::string(tr("On battery power")); },
            [](const OnACPower&) { return std::string(tr("On AC power")); },
            [](const LidClosed&) { return std::string(tr("Lid is closed")); },
            [](const NoMatchingWorkloadFor& c) { return trFormat("No AI workload for {}s", c.seconds); },
            [](const TimeWindow& c) {
                return trFormat("{} {}\u2013{}", weekdaysText(c.weekdays), clockTime(c.startMinutes),
                                clockTime(c.endMinutes));
            },
            [](const RemoteSessionActive&) { return std::string(tr("Someone is logged in remotely")); },
        },
        value);
}

std::int64_t RuleCondition::holdSeconds() const {
    if (const auto* c = std::get_if<TemperatureAbove>(&value)) return c->durationSeconds;
    if (const auto* c = std::get_if<NoMatchingWorkloadFor>(&value)) return c->seconds;
    return 0;
}

}  // namespace vigilo
