#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace vigilo {

// A set of days of the week, by ISO number: 1 = Monday ... 7 = Sunday. Bit
// (day - 1) is set for each day in the set.
using WeekdaySet = std::uint8_t;
inline constexpr WeekdaySet kEveryDay = 0x7f;
inline constexpr WeekdaySet kMondayToFriday = 0x1f;
inline constexpr WeekdaySet weekdayBit(int isoDay) { return static_cast<WeekdaySet>(1u << (isoDay - 1)); }
inline constexpr bool containsWeekday(WeekdaySet days, int isoDay) {
    return isoDay >= 1 && isoDay <= 7 && (days & weekdayBit(isoDay)) != 0;
}

// "Mon" ... "Sun" in the current locale, for ISO days 1 to 7.
const char* shortDayName(int isoDay);

// One test of the machine's state in a Smart Rule. A plain value; what each
// case means is decided by the rule engine. Numbers are taken as they come:
// nothing is range-checked when a rule is made, stored or loaded.
struct RuleCondition {
    struct ProcessRunning {
        std::string pattern;  // a process or application name equals it or begins with it
        bool operator==(const ProcessRunning&) const = default;
    };
    struct BatteryBelow {
        std::int64_t percent = 0;
        bool operator==(const BatteryBelow&) const = default;
    };
    struct BatteryAbove {
        std::int64_t percent = 0;
        bool operator==(const BatteryAbove&) const = default;
    };
    struct TemperatureAbove {
        double celsius = 0;
        std::int64_t durationSeconds = 0;  // how long the whole rule must hold
        bool operator==(const TemperatureAbove&) const = default;
    };
    struct OnBatteryPower {
        bool operator==(const OnBatteryPower&) const = default;
    };
    struct OnACPower {
        bool operator==(const OnACPower&) const = default;
    };
    struct LidClosed {
        bool operator==(const LidClosed&) const = default;
    };
    struct NoMatchingWorkloadFor {
        std::int64_t seconds = 0;  // how long the whole rule must hold
        bool operator==(const NoMatchingWorkloadFor&) const = default;
    };
    struct TimeWindow {
        std::int64_t startMinutes = 0;  // after local midnight
        std::int64_t endMinutes = 0;    // before startMinutes: the window spans midnight
        // The days the window opens on: one that spans midnight runs on into
        // the next day ("Fri 22:00-07:00" holds until Saturday 07:00).
        WeekdaySet weekdays = kEveryDay;
        bool operator==(const TimeWindow&) const = default;
    };
    // Someone is logged in to this computer as this user from elsewhere.
    struct RemoteSessionActive {
        bool operator==(const RemoteSessionActive&) const = default;
    };

    // In declaration order; the index is the position in kConditionCaseNames.
    using Case = std::variant<ProcessRunning, BatteryBelow, BatteryAbove, TemperatureAbove, OnBatteryPower,
                              OnACPower, LidClosed, NoMatchingWorkloadFor, TimeWindow, RemoteSessionActive>;

    template <class C>
        requires std::is_constructible_v<Case, C>
    RuleCondition(C caseValue) : value(std::move(caseValue)) {}

    Case value;

    bool operator==(const RuleCondition&) const = default;

    // "Battery below 10%", "Weekdays 09:00–18:00", ... in the current locale.
    std::string localizedSummary() const;
    // How long the rule must hold because of this condition; 0 for most.
    std::int64_t holdSeconds() const;
};

// The JSON case names, in the order of RuleCondition::Case.
inline constexpr const char* kConditionCaseNames[] = {
    "processRunning", "batteryBelow", "batteryAbove", "temperatureAbove", "onBatteryPower",
    "onACPower",      "lidClosed",    "noMatchingWorkloadFor", "timeWindow",     "remoteSessionActive",
};

}  // namespace vigilo
