#pragma once

#include <filesystem>

#include "platform/linux/safety/sysfs_power_sources.h"
#include "platform/linux/safety/upower_power_sources.h"
#include "platform/power_sources.h"
#include "support/loop.h"

namespace vigilo {

// The battery monitor's power sources on Linux: UPower when it is on the
// system bus, otherwise the kernel's power-supply class, asked afresh at
// every read so either may come and go. Main thread only.
class LinuxPowerSources final : public PowerSources {
public:
    explicit LinuxPowerSources(Loop& loop, std::filesystem::path powerSupplyRoot = "/sys/class/power_supply");

    std::optional<std::vector<PowerSourceDescription>> copySources() override;
    // UPower's notification when the system bus is there; the poll otherwise.
    std::optional<Handle> watchChanges(std::function<void()> onChange) override;

private:
    UPowerPowerSources upower_;
    SysfsPowerSources sysfs_;
};

}  // namespace vigilo
