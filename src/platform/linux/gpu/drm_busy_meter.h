#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "platform/linux/gpu/drm_fdinfo.h"
#include "support/clock.h"

namespace vigilo {

// Turns DRM clients' counters read at successive moments into each
// process's GPU percent. Pure apart from the samples it keeps; not
// thread-safe.
class DrmBusyMeter {
public:
    // `clients` holds each process's clients as read at `now`. A client
    // several processes hold counts once, for the lowest pid. Per engine,
    // busy time over wall time (or busy cycles over total cycles) since the
    // client's previous sample, summed over the process's clients, divided
    // by the engine's capacity; the busiest engine gives the percent, 0…100.
    // A process is absent when none of its clients was sampled before. A
    // counter that steps back counts as standing still. Clients not read now
    // are forgotten.
    std::map<std::int32_t, double> update(const std::map<std::int32_t, std::vector<DrmClient>>& clients, MonoTime now);

    void reset() { previous_.clear(); }

private:
    struct Sample {
        MonoTime at;
        std::map<std::string, DrmEngineCounter> engines;  // the highest counts seen
    };

    std::map<DrmClientKey, Sample> previous_;
};

}  // namespace vigilo
