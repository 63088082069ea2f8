#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "detection/default_patterns.h"
#include "detection/process_scan.h"
#include "support/handle.h"
#include "support/loop.h"
#include "support/published.h"

namespace vigilo {

class GpuUsageSource;
class ProcessTable;
class RunningApplications;

// The engine of Auto Mode: polls the running applications and processes,
// matches them against the watch patterns, measures their CPU and GPU use
// and publishes the current workloads as `matches`. It never touches power
// state or settings. Main thread only; the process table is walked on a
// background task that gets copies and hands its result back.
class ProcessWatcher {
public:
    using Match = WatchMatch;
    using Sample = CpuSample;

    struct Options {
        std::vector<std::string> patterns = defaultWatchPatterns();
        double pollInterval = 3.0;  // seconds
        bool useCpuDetection = true;
        double cpuThresholdPercent = 5.0;
        bool useGpuDetection = true;
        double gpuThresholdPercent = 10.0;
        std::int64_t idleHoldoffSeconds = 60;
    };

    // `processes` is shared with the background scans, which may outlive
    // the watcher by one poll; the watcher itself never reads it. Without
    // `applications` only processes match; without `gpu` GPU use is not
    // measured. `gpu` is used from the background scans only.
    ProcessWatcher(Loop& loop, std::shared_ptr<const ProcessTable> processes,
                   std::shared_ptr<const RunningApplications> applications, std::shared_ptr<GpuUsageSource> gpu,
                   Options options);
    ProcessWatcher(Loop& loop, std::shared_ptr<const ProcessTable> processes,
                   std::shared_ptr<const RunningApplications> applications, Options options)
        : ProcessWatcher(loop, std::move(processes), std::move(applications), nullptr, std::move(options)) {}
    ProcessWatcher(Loop& loop, std::shared_ptr<const ProcessTable> processes,
                   std::shared_ptr<const RunningApplications> applications)
        : ProcessWatcher(loop, std::move(processes), std::move(applications), Options{}) {}
    ProcessWatcher(const ProcessWatcher&) = delete;
    ProcessWatcher& operator=(const ProcessWatcher&) = delete;

    // Current workloads, active first, then by name. Written by the watcher
    // only, and only when the list changed. Non-empty means work is running.
    Published<std::vector<Match>> matches;

    // Written by the owner from the settings; read afresh at every poll,
    // except pollInterval, which is read by start().
    Published<std::vector<std::string>> patterns;  // as the user typed them
    Published<double> pollInterval;                // seconds
    Published<bool> useCpuDetection;
    Published<double> cpuThresholdPercent;  // percent of one core; at or above is busy
    Published<bool> useGpuDetection;
    Published<double> gpuThresholdPercent;  // percent of the busiest GPU engine; at or above is busy
    Published<std::int64_t> idleHoldoffSeconds;  // how long an idle match stays listed

    // Forgets the CPU and GPU history, polls at once, then every pollInterval.
    void start();
    // Ends polling and lets go of what GPU measuring holds open; `matches`
    // keeps its last value.
    void stop();
    // One poll; does nothing while a scan is in flight.
    void pollNow();

    bool isRunning() const { return timer_.active(); }
    bool isScanning() const { return isScanning_; }

private:
    struct FirstSighting {
        WallTime at;
        std::uint64_t startTime = 0;  // 0: unknown
    };

    void publish(ScanResult result);
    WallTime firstSightingOf(std::int32_t pid, const std::map<std::int32_t, std::uint64_t>& startTimes,
                             WallTime now);
    std::vector<AppSnapshot> snapshotApplications() const;
    void releaseGpu();

    Loop& loop_;
    std::shared_ptr<const ProcessTable> processes_;
    std::shared_ptr<const RunningApplications> applications_;
    std::shared_ptr<GpuUsageSource> gpu_;
    bool gpuMayHold_ = false;  // a scan measured GPU use since the last release
    Handle timer_;
    bool isScanning_ = false;
    bool freshStart_ = false;  // the next result is published even if unchanged
    std::map<std::int32_t, Sample> samples_;
    std::map<std::int32_t, MonoTime> lastActiveAt_;
    std::map<std::int32_t, FirstSighting> firstSeenAt_;
    KnownProcesses known_;  // with the scan while one is in flight
    LifeToken life_;
};

}  // namespace vigilo
