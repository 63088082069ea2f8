#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>

#include "platform/linux/safety/thermal_readings.h"
#include "platform/thermal_level_source.h"
#include "support/loop.h"

namespace vigilo {

// A thermal pressure level derived from /sys/class/thermal, since Linux
// announces none. While anyone watches, the zones are read every 5 seconds
// on a background task; watchers hear only of changes. A level drops only
// once the readings are about 2 °C clear of what raised it, so a sensor
// hovering at a trip point does not flap. Main thread only.
class SysfsThermalLevelSource final : public ThermalLevelSource {
public:
    static constexpr std::int64_t kHysteresisMilliC = 2000;

    // Reads the zones once, synchronously, for the starting level.
    explicit SysfsThermalLevelSource(Loop& loop, std::filesystem::path root = "/sys/class/thermal");
    SysfsThermalLevelSource(const SysfsThermalLevelSource&) = delete;
    SysfsThermalLevelSource& operator=(const SysfsThermalLevelSource&) = delete;

    long thermalState() override { return level_; }
    Handle watchChanges(std::function<void()> onChange) override;

    // The level after `readings` when `current` was the level before.
    static int nextLevel(int current, const ThermalReadings& readings);

private:
    void poll();
    void take(const ThermalReadings& readings);

    Loop& loop_;
    std::filesystem::path root_;
    int level_ = 0;
    bool polling_ = false;
    Handle timer_;
    std::map<std::uint64_t, std::function<void()>> watchers_;
    std::uint64_t nextWatcher_ = 0;
    LifeToken life_;
};

}  // namespace vigilo
