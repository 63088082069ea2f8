#include "safety/thermal_monitor.h"

#include "support/tr.h"

namespace vigilo {

const char* ThermalMonitor::label(Level level) {
    switch (level) {
        case Level::unknown: return tr("unknown");
        case Level::nominal: return tr("Normal");
        case Level::fair: return tr("Fair");
        case Level::serious: return tr("Hot");
        case Level::critical: return tr("Very hot");
    }
    return tr("Normal");
}

ThermalMonitor::Level ThermalMonitor::levelFromRaw(long raw) {
    if (raw < 0 || raw > 3) return Level::unknown;
    return static_cast<Level>(raw);
}

ThermalMonitor::ThermalMonitor(Loop& loop, ThermalLevelSource& source) : loop_(loop), source_(source) {}

void ThermalMonitor::start() {
    refresh();
    // Touches nothing of the monitor until it knows the monitor still exists.
    observer_ = source_.watchChanges([&loop = loop_, this, alive = life_.weak()] {
        loop.post([this, alive] {
            if (alive.lock()) refresh();
        });
    });
}

void ThermalMonitor::stop() { observer_.cancel(); }

void ThermalMonitor::refresh() {
    Level mapped = levelFromRaw(source_.thermalState());
    if (mapped == level_.get()) return;
    if (mapped == Level::unknown) {
        log_.info("No thermal zone to read; the thermal state is unknown");
    } else {
        log_.info("Thermal state changed to {}", static_cast<long>(mapped));
    }
    level_.set(mapped);
}

}  // namespace vigilo
