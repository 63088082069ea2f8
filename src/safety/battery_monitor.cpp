#include "safety/battery_monitor.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>

namespace vigilo {

namespace {

constexpr auto kPollInterval = std::chrono::seconds(10);

template <class T>
std::optional<T> entry(const PowerSourceDescription& description, std::string_view key) {
    auto it = description.find(key);
    if (it == description.end()) return std::nullopt;
    if (const T* value = std::get_if<T>(&it->second)) return *value;
    return std::nullopt;
}

const PowerSourceDescription* findInternalBattery(const std::vector<PowerSourceDescription>& sources) {
    for (const auto& description : sources) {
        auto type = entry<std::string>(description, power_source_key::type);
        if (type && *type == power_source_value::internalBattery) return &description;
    }
    return nullptr;
}

int levelFrom(std::int64_t current, std::int64_t max) {
    if (max < 1) return static_cast<int>(std::clamp<std::int64_t>(current, 0, 100));
    // Multiplied before dividing: 57 / 100 * 100 is 56.99999999999999 in
    // floating point and would truncate to 56.
    double percent = static_cast<double>(current) * 100.0 / static_cast<double>(max);
    return static_cast<int>(std::clamp(std::trunc(percent), 0.0, 100.0));
}

}  // namespace

BatteryMonitor::Snapshot BatteryMonitor::readSnapshot(
    const std::optional<std::vector<PowerSourceDescription>>& sources) {
    if (!sources || sources->empty()) return noBattery();
    const PowerSourceDescription* battery = findInternalBattery(*sources);
    if (!battery) return noBattery();

    auto current = entry<std::int64_t>(*battery, power_source_key::currentCapacity).value_or(100);
    auto max = entry<std::int64_t>(*battery, power_source_key::maxCapacity).value_or(100);
    auto state = entry<std::string>(*battery, power_source_key::powerSourceState);
    bool charging = entry<bool>(*battery, power_source_key::isCharging).value_or(false);
    return Snapshot{levelFrom(current, max), charging, state == power_source_value::acPower, true};
}

BatteryMonitor::BatteryMonitor(Loop& loop, PowerSources& sources) : loop_(loop), sources_(sources) {}

void BatteryMonitor::start() {
    refresh();
    pollTimer_ = loop_.startRepeating(kPollInterval, [this] { scheduleRefresh(); });
    // Touches nothing of the monitor until it knows the monitor still exists.
    notification_ = sources_.watchChanges([&loop = loop_, this, alive = life_.weak()] {
        loop.post([this, alive] {
            if (alive.lock()) refresh();
        });
    });
    if (!notification_) log_.error("power-source change notification could not be set up");
}

void BatteryMonitor::stop() {
    pollTimer_.cancel();
    notification_.reset();
}

void BatteryMonitor::scheduleRefresh() {
    loop_.post([this, alive = life_.weak()] {
        if (alive.lock()) refresh();
    });
}

void BatteryMonitor::refresh() { snapshot_.publish(readSnapshot(sources_.copySources())); }

}  // namespace vigilo
