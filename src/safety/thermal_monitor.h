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
    // Raw values equal the system's thermal states; `unknown` where there
    // is nothing to read it from (no thermal zone), which the safety nets
    // treat as nominal but the status must not claim is normal.
    enum class Level { unknown = -1, nominal = 0, fair = 1, serious = 2, critical = 3 };

    // "unknown", "Normal", "Fair", "Hot", "Very hot", translated.
    static const char* label(Level level);
    // Raw 0...3 to the level of that value; anything else is unknown.
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
