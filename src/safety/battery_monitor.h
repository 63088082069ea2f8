#pragma once

#include <optional>
#include <vector>

#include "platform/power_sources.h"
#include "support/handle.h"
#include "support/log.h"
#include "support/loop.h"
#include "support/published.h"

namespace vigilo {

// Keeps one published battery snapshot, read at start, every 10 seconds and
// whenever the system reports a power-source change. Every reading is
// published, changed or not, so observers compare with their own last value.
// Main thread only.
class BatteryMonitor {
public:
    struct Snapshot {
        int level = 100;  // percent, 0...100
        bool isCharging = false;
        bool isOnACPower = true;
        bool hasBattery = false;
        bool operator==(const Snapshot&) const = default;
    };

    // What a machine without an internal battery (or without readable
    // power-source information) looks like: full, on AC, not charging.
    static constexpr Snapshot noBattery() { return Snapshot{}; }

    // Reads a snapshot out of the system's source list. Pure; any thread.
    static Snapshot readSnapshot(const std::optional<std::vector<PowerSourceDescription>>& sources);

    BatteryMonitor(Loop& loop, PowerSources& sources);
    BatteryMonitor(const BatteryMonitor&) = delete;
    BatteryMonitor& operator=(const BatteryMonitor&) = delete;

    void start();
    void stop();

    // Subscribe here; only the monitor assigns it.
    Published<Snapshot>& snapshot() { return snapshot_; }
    const Snapshot& currentSnapshot() const { return snapshot_.get(); }

private:
    void scheduleRefresh();
    void refresh();

    Loop& loop_;
    PowerSources& sources_;
    Published<Snapshot> snapshot_{noBattery()};
    Logger log_{"Battery"};
    Handle pollTimer_;
    std::optional<Handle> notification_;
    LifeToken life_;
};

}  // namespace vigilo
