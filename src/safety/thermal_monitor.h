#pragma once

#include "platform/thermal_level_source.h"
#include "support/handle.h"
#include "support/log.h"
#include "support/loop.h"
#include "support/published.h"

namespace vigilo {

// Mirrors the system's thermal pressure as one published level; publishes
// only on change. It reads no sensor: degrees come from the cooling manager.
// Main thread only.
class ThermalMonitor {
public:
    // Raw values equal the system's thermal states.
    enum class Level { nominal = 0, fair = 1, serious = 2, critical = 3 };

    // "Normal", "Fair", "Hot", "Very hot", translated.
    static const char* label(Level level);
    // Raw 0...3 to the level of that value; anything else is nominal.
    static Level levelFromRaw(long raw);

    ThermalMonitor(Loop& loop, ThermalLevelSource& source);
    ThermalMonitor(const ThermalMonitor&) = delete;
    ThermalMonitor& operator=(const ThermalMonitor&) = delete;

    void start();
    void stop();

    // Subscribe here; only the monitor assigns it.
    Published<Level>& level() { return level_; }
    Level currentLevel() const { return level_.get(); }

private:
    void refresh();

    Loop& loop_;
    ThermalLevelSource& source_;
    Published<Level> level_{Level::nominal};
    Logger log_{"Thermal"};
    Handle observer_;
    LifeToken life_;
};

}  // namespace vigilo
