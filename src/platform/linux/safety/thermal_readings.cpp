#include "platform/linux/safety/thermal_readings.h"

#include <algorithm>
#include <optional>

#include "platform/linux/safety/sysfs_attribute.h"

namespace vigilo {

namespace {

namespace fs = std::filesystem;

constexpr int kNominal = 0, kFair = 1, kSerious = 2, kCritical = 3;
constexpr std::int64_t kNearCriticalMilliC = 5000;
constexpr std::int64_t kNearPassiveMilliC = 10000;
// Drivers report unused trips as 0, negative or absurdly high values, and
// broken sensors as nonsense; neither should heat or cool the machine.
constexpr std::int64_t kLowestSensibleMilliC = -50000;
constexpr std::int64_t kHighestSensibleMilliC = 200000;
constexpr std::int64_t kLowestSensibleTripMilliC = 20000;

bool sensibleTemperature(std::int64_t milliC) {
    return milliC >= kLowestSensibleMilliC && milliC <= kHighestSensibleMilliC;
}

std::vector<ThermalReadings::Trip> readTrips(const fs::path& zone) {
    std::vector<ThermalReadings::Trip> trips;
    for (int index = 0;; ++index) {
        auto prefix = "trip_point_" + std::to_string(index);
        auto type = readAttribute(zone / (prefix + "_type"));
        if (!type) break;
        auto milliC = readIntegerAttribute(zone / (prefix + "_temp"));
        if (milliC && *milliC >= kLowestSensibleTripMilliC && *milliC <= kHighestSensibleMilliC) trips.push_back({*type, *milliC});
    }
    return trips;
}

int zoneLevel(const ThermalReadings::Zone& zone, std::int64_t margin) {
    const std::int64_t t = zone.milliC + margin;
    std::optional<std::int64_t> lowestPassive;
    for (const auto& trip : zone.trips) {
        if (trip.type == "passive") lowestPassive = std::min(lowestPassive.value_or(trip.milliC), trip.milliC);
    }
    int level = kNominal;
    for (const auto& trip : zone.trips) {
        if (trip.type == "hot" && t >= trip.milliC) return kCritical;
        if (trip.type == "critical" && t >= trip.milliC - kNearCriticalMilliC) return kCritical;
        if (trip.type == "active" && t > trip.milliC) level = kFair;
    }
    if (lowestPassive && t >= *lowestPassive) return kSerious;
    if (lowestPassive && t >= *lowestPassive - kNearPassiveMilliC) level = kFair;
    return level;
}

int throttleLevel(const ThermalReadings::Throttle& throttle) {
    if (throttle.max < 1 || throttle.current < 0) return kNominal;
    double fraction = static_cast<double>(std::min(throttle.current, throttle.max)) / static_cast<double>(throttle.max);
    if (fraction >= 0.8) return kCritical;
    if (fraction >= 0.5) return kSerious;
    if (fraction >= 0.1) return kFair;
    return kNominal;
}

}  // namespace

ThermalReadings ThermalReadings::read(const fs::path& root) {
    ThermalReadings readings;
    for (const auto& entry : listFolder(root)) {
        auto name = entry.filename().string();
        if (name.starts_with("thermal_zone")) {
            auto milliC = readIntegerAttribute(entry / "temp");
            if (milliC && sensibleTemperature(*milliC)) readings.zones.push_back({*milliC, readTrips(entry)});
        } else if (name.starts_with("cooling_device") && readAttribute(entry / "type") == "Processor") {
            auto current = readIntegerAttribute(entry / "cur_state");
            auto max = readIntegerAttribute(entry / "max_state");
            if (current && max) readings.processors.push_back({*current, *max});
        }
    }
    return readings;
}

int ThermalReadings::level(std::int64_t marginMilliC) const {
    if (zones.empty() && processors.empty()) return kUnknownLevel;
    int level = kNominal;
    for (const auto& zone : zones) level = std::max(level, zoneLevel(zone, marginMilliC));
    for (const auto& throttle : processors) level = std::max(level, throttleLevel(throttle));
    return level;
}

}  // namespace vigilo
