#pragma once

#include <filesystem>

#include "platform/power_sources.h"

namespace vigilo {

// Power sources read from the kernel's power-supply class
// (/sys/class/power_supply). The machine's battery is the first present
// supply of type Battery that is not a peripheral's (scope Device); AC power
// is any Mains or USB supply that is online. The kernel announces nothing we
// could wait on cheaply, so the battery monitor's poll is the notification.
class SysfsPowerSources final : public PowerSources {
public:
    explicit SysfsPowerSources(std::filesystem::path root = "/sys/class/power_supply");

    std::optional<std::vector<PowerSourceDescription>> copySources() override;
    std::optional<Handle> watchChanges(std::function<void()> onChange) override;

private:
    std::filesystem::path root_;
};

}  // namespace vigilo
