#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "support/clock.h"

namespace vigilo {

// How busy the GPU was for one process since the previous measurement.
struct GpuUse {
    double percent = 0;        // the busiest engine, 0…100
    bool wholeDevice = false;  // the process's own use could not be read: the busiest device's use instead

    bool operator==(const GpuUse&) const = default;
};

// Measures the GPU use of the processes Auto Mode watches. Abstract so the
// watcher can be tested against made-up figures; the Linux implementation
// reads DRM fdinfo, amdgpu's sysfs files and NVIDIA's management library.
// Called from the scan task, off the main thread; implementations serialise
// their calls themselves, so release() may come from another thread. Never
// throws; nothing is logged more than once per cause.
class GpuUsageSource {
public:
    virtual ~GpuUsageSource() = default;

    // The use of each of `pids` since the previous call, measured at `now`
    // (monotonic). A pid is absent when its use is not measured: first seen
    // now (two samples are needed), gone, holding no GPU, or unreadable with
    // no device to stand in. Only these pids are read, never the whole table.
    virtual std::map<std::int32_t, GpuUse> measure(const std::vector<std::int32_t>& pids, MonoTime now) = 0;

    // Forgets every earlier sample and lets go of whatever is held open (a
    // loaded library that keeps a GPU awake). The next measure() starts afresh.
    virtual void release() = 0;
};

}  // namespace vigilo
