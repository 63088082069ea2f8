#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "support/handle.h"

namespace vigilo {

// One entry of a power-source description. Integers, Booleans, numbers and
// strings stay apart so a reader can tell a mistyped entry from a good one.
using PowerSourceValue = std::variant<bool, std::int64_t, double, std::string>;

// One power source as the system describes it, keyed by the names below.
using PowerSourceDescription = std::map<std::string, PowerSourceValue, std::less<>>;

namespace power_source_key {
inline constexpr std::string_view type = "Type";                          // string
inline constexpr std::string_view currentCapacity = "Current Capacity";   // integer
inline constexpr std::string_view maxCapacity = "Max Capacity";           // integer
inline constexpr std::string_view powerSourceState = "Power Source State";  // string
inline constexpr std::string_view isCharging = "Is Charging";             // Boolean
}  // namespace power_source_key

namespace power_source_value {
inline constexpr std::string_view internalBattery = "InternalBattery";  // "Type" of the machine's own battery
inline constexpr std::string_view ups = "UPS";
inline constexpr std::string_view acPower = "AC Power";  // "Power Source State" values
inline constexpr std::string_view batteryPower = "Battery Power";
}  // namespace power_source_value

// The system's list of power sources and its change notification. Abstract
// so the battery monitor can be tested with a fake; the Linux implementation
// asks UPower and falls back to /sys/class/power_supply. Main thread only.
class PowerSources {
public:
    virtual ~PowerSources() = default;

    // The sources in the system's order, or nothing when the power-source
    // information cannot be read at all. Never throws.
    virtual std::optional<std::vector<PowerSourceDescription>> copySources() = 0;

    // Calls `onChange` on the main loop whenever the system reports a
    // power-source change, until the returned Handle goes. Nothing when no
    // notification can be set up.
    virtual std::optional<Handle> watchChanges(std::function<void()> onChange) = 0;
};

}  // namespace vigilo
