#include "platform/linux/safety/sysfs_thermal_level_source.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace vigilo {

namespace {
constexpr auto kPollInterval = std::chrono::seconds(5);
}

SysfsThermalLevelSource::SysfsThermalLevelSource(Loop& loop, std::filesystem::path root)
    : loop_(loop), root_(std::move(root)), level_(ThermalReadings::read(root_).level()) {}

int SysfsThermalLevelSource::nextLevel(int current, const ThermalReadings& readings) {
    int raw = readings.level();
    if (raw >= current) return raw;
    // Falling: hold on to what the readings would still give a little warmer.
    return std::max(raw, std::min(current, readings.level(kHysteresisMilliC)));
}

Handle SysfsThermalLevelSource::watchChanges(std::function<void()> onChange) {
    auto id = nextWatcher_++;
    watchers_.emplace(id, std::move(onChange));
    if (!timer_.active()) timer_ = loop_.startRepeating(kPollInterval, [this] { poll(); });
    return Handle([this, id, alive = life_.weak()] {
        if (!alive.lock()) return;
        watchers_.erase(id);
        if (watchers_.empty()) timer_.cancel();
    });
}

void SysfsThermalLevelSource::poll() {
    if (polling_) return;
    polling_ = true;
    loop_.runInBackground([root = root_] { return ThermalReadings::read(root); },
                          [this, alive = life_.weak()](ThermalReadings readings) {
                              if (!alive.lock()) return;
                              polling_ = false;
                              take(readings);
                          });
}

void SysfsThermalLevelSource::take(const ThermalReadings& readings) {
    int next = nextLevel(level_, readings);
    if (next == level_) return;
    level_ = next;
    auto watchers = watchers_;  // a watcher may stop watching
    for (auto& [id, watcher] : watchers) {
        if (watchers_.contains(id)) watcher();
    }
}

}  // namespace vigilo
