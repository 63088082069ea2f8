#include "platform/linux/safety/linux_power_sources.h"

#include <utility>

namespace vigilo {

LinuxPowerSources::LinuxPowerSources(Loop& loop, std::filesystem::path powerSupplyRoot)
    : upower_(loop), sysfs_(std::move(powerSupplyRoot)) {}

std::optional<std::vector<PowerSourceDescription>> LinuxPowerSources::copySources() {
    if (auto sources = upower_.copySources()) return sources;
    return sysfs_.copySources();
}

std::optional<Handle> LinuxPowerSources::watchChanges(std::function<void()> onChange) {
    if (auto handle = upower_.watchChanges(onChange)) return handle;
    return sysfs_.watchChanges(std::move(onChange));
}

}  // namespace vigilo
