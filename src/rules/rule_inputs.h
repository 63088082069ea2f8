#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vigilo {

// The machine's state as one rule evaluation sees it, filled in by the
// application on the main thread. A default-made value is the neutral
// snapshot used when the application state is gone: on AC power, no
// battery, no readings, no patterns.
struct RuleInputs {
    std::int64_t batteryPercent = 100;
    bool onAC = true;
    bool hasBattery = false;
    std::optional<double> temperatureC;  // degrees Celsius; absent without a reading
    bool lidClosed = false;
    std::vector<std::string> watchPatterns;  // Auto Mode's, as the user typed them
    std::set<std::string> appNames;          // lower-cased names and identifiers of running applications
    std::int64_t nowMinutes = 0;             // local time of day: hours x 60 + minutes
    int nowWeekday = 1;                      // local day of the week: 1 = Monday ... 7 = Sunday
    bool remoteSessionActive = false;        // someone is logged in remotely as this user

    bool operator==(const RuleInputs&) const = default;
};

}  // namespace vigilo
