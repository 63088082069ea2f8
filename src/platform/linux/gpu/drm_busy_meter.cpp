#include "platform/linux/gpu/drm_busy_meter.h"

#include <algorithm>
#include <set>
#include <string>
#include <utility>

namespace vigilo {
namespace {

// Percent of one engine of the kind, before dividing by the capacity.
double enginePercent(const DrmEngineCounter& before, const DrmEngineCounter& now, double wallNanos) {
    const double busy = static_cast<double>(now.busy - before.busy);
    if (now.inCycles) {
        const std::uint64_t total = now.totalCycles - before.totalCycles;
        return total == 0 ? 0.0 : busy / static_cast<double>(total) * 100.0;
    }
    return busy / wallNanos * 100.0;
}

// The counter as kept: never below what was seen before.
DrmEngineCounter highest(DrmEngineCounter now, const DrmEngineCounter* before) {
    if (before && before->inCycles == now.inCycles) {
        now.busy = std::max(now.busy, before->busy);
        now.totalCycles = std::max(now.totalCycles, before->totalCycles);
    }
    return now;
}

}  // namespace

std::map<std::int32_t, double> DrmBusyMeter::update(const std::map<std::int32_t, std::vector<DrmClient>>& clients,
                                                    MonoTime now) {
    std::map<DrmClientKey, Sample> current;
    std::map<std::int32_t, double> percents;
    // In pid order, so a shared client goes to the lowest pid.
    for (const auto& [pid, ofProcess] : clients) {
        bool measured = false;
        // By device and engine name: one process's clients add up.
        std::map<std::pair<std::string, std::string>, double> perEngine;
        for (const DrmClient& client : ofProcess) {
            if (current.contains(client.key)) continue;
            Sample& sample = current[client.key];
            sample.at = now;
            const auto before = previous_.find(client.key);
            const bool sampledBefore = before != previous_.end() && before->second.at < now;
            using Nanoseconds = std::chrono::duration<double, std::nano>;
            const double wallNanos = sampledBefore ? Nanoseconds(now - before->second.at).count() : 0.0;
            measured = measured || sampledBefore;
            for (const auto& [name, counter] : client.engines) {
                const DrmEngineCounter* earlier = nullptr;
                if (sampledBefore) {
                    const auto found = before->second.engines.find(name);
                    if (found != before->second.engines.end()) earlier = &found->second;
                }
                const DrmEngineCounter kept = highest(counter, earlier);
                sample.engines[name] = kept;
                if (earlier && earlier->inCycles == kept.inCycles) {
                    perEngine[{client.key.pdev, name}] +=
                        enginePercent(*earlier, kept, wallNanos) / static_cast<double>(kept.capacity);
                }
            }
        }
        if (!measured) continue;
        double busiest = 0;
        for (const auto& [engine, percent] : perEngine) busiest = std::max(busiest, percent);
        percents[pid] = std::clamp(busiest, 0.0, 100.0);
    }
    previous_ = std::move(current);
    return percents;
}

}  // namespace vigilo
