#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vigilo {

// What the kernel's thermal class (/sys/class/thermal) says at one moment:
// zone temperatures with their trip points, and how hard the processor's
// cooling devices are throttling. Temperatures in millidegrees Celsius.
struct ThermalReadings {
    struct Trip {
        std::string type;  // "critical", "hot", "passive", "active"
        std::int64_t milliC = 0;
    };
    struct Zone {
        std::int64_t milliC = 0;
        std::vector<Trip> trips;
    };
    struct Throttle {
        std::int64_t current = 0;
        std::int64_t max = 0;
    };
    std::vector<Zone> zones;
    std::vector<Throttle> processors;  // cooling devices of type "Processor"

    // Reads every zone and cooling device under `root`. Values that are
    // missing, unparsable or implausible leave out the zone or trip they
    // belong to. Any thread.
    static ThermalReadings read(const std::filesystem::path& root);

    // Readings with no zone and no processor cooling device: no level.
    static constexpr int kUnknownLevel = -1;

    // The four-step level (0 nominal ... 3 critical) these readings give
    // when every zone temperature is taken `marginMilliC` higher, or
    // kUnknownLevel when there is nothing to take it from.
    int level(std::int64_t marginMilliC = 0) const;
};

}  // namespace vigilo
