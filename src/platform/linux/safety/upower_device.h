#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/power_sources.h"

typedef struct sd_bus_message sd_bus_message;

namespace vigilo {

// The few properties of a UPower device that say whether it is the
// machine's battery and how full it is.
struct UPowerDevice {
    static constexpr std::uint32_t kTypeBattery = 2;
    static constexpr std::uint32_t kTypeUps = 3;
    static constexpr std::uint32_t kStateCharging = 1;

    std::optional<std::uint32_t> type;
    std::optional<std::uint32_t> state;
    std::optional<double> percentage;
    std::optional<bool> isPresent;

    // From a Properties.GetAll reply (a{sv}); properties of an unexpected
    // type are left out. Nothing when the reply is not a{sv} at all.
    static std::optional<UPowerDevice> fromProperties(sd_bus_message* reply);
    // From a Properties.Get reply holding a Boolean.
    static std::optional<bool> booleanVariant(sd_bus_message* reply);

    // The power-source list this device stands for: the internal battery when
    // it is a present battery, a UPS entry for a UPS, nothing otherwise.
    // `onBattery` is UPower's OnBattery; unknown counts as on battery.
    std::vector<PowerSourceDescription> describe(std::optional<bool> onBattery) const;
};

}  // namespace vigilo
