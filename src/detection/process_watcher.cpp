#include "detection/process_watcher.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <set>
#include <utility>

#include "detection/display_name_collator.h"
#include "support/utf8_text.h"
#include "platform/gpu_usage_source.h"
#include "platform/process_table.h"
#include "platform/running_applications.h"

namespace vigilo {
namespace {

// The settings keep the interval between 1 and 60 seconds; anything else
// reaching here must still not make the timer spin or overflow.
Duration timerPeriod(double seconds) {
    constexpr double kMinimum = 1.0, kMaximum = 24 * 3600.0;
    const double clamped = std::isfinite(seconds) ? std::clamp(seconds, kMinimum, kMaximum) : kMinimum;
    return std::chrono::duration_cast<Duration>(std::chrono::duration<double>(clamped));
}

}  // namespace

ProcessWatcher::ProcessWatcher(Loop& loop, std::shared_ptr<const ProcessTable> processes,
                               std::shared_ptr<const RunningApplications> applications,
                               std::shared_ptr<GpuUsageSource> gpu, Options options)
    : patterns(std::move(options.patterns)),
      pollInterval(options.pollInterval),
      useCpuDetection(options.useCpuDetection),
      cpuThresholdPercent(options.cpuThresholdPercent),
      useGpuDetection(options.useGpuDetection),
      gpuThresholdPercent(options.gpuThresholdPercent),
      idleHoldoffSeconds(options.idleHoldoffSeconds),
      loop_(loop),
      processes_(std::move(processes)),
      applications_(std::move(applications)),
      gpu_(std::move(gpu)) {}

void ProcessWatcher::start() {
    timer_.cancel();
    samples_.clear();
    lastActiveAt_.clear();
    releaseGpu();
    freshStart_ = true;
    pollNow();
    timer_ = loop_.startRepeating(timerPeriod(pollInterval.get()), [this, alive = life_.weak()] {
        if (alive.lock()) pollNow();
    });
}

void ProcessWatcher::stop() {
    timer_.cancel();
    releaseGpu();
}

// On a worker, as a library call may be slow; the source serialises it with
// a scan still in flight.
void ProcessWatcher::releaseGpu() {
    if (!std::exchange(gpuMayHold_, false)) return;
    loop_.runInBackground([gpu = gpu_] { gpu->release(); });
}

void ProcessWatcher::pollNow() {
    if (isScanning_) return;
    ScanInput input;
    input.patterns = normalizePatterns(patterns.get());
    if (input.patterns.empty()) {
        matches.publish({});
        samples_.clear();
        lastActiveAt_.clear();
        releaseGpu();
        return;
    }
    input.applications = snapshotApplications();
    input.useCpuDetection = useCpuDetection.get();
    input.cpuThresholdPercent = cpuThresholdPercent.get();
    input.useGpuDetection = useGpuDetection.get();
    input.gpuThresholdPercent = gpuThresholdPercent.get();
    input.gpu = gpu_.get();
    gpuMayHold_ = gpu_ != nullptr;
    input.idleHoldoffSeconds = idleHoldoffSeconds.get();
    input.samples = samples_;
    input.lastActiveAt = lastActiveAt_;
    // Moved, not copied: it holds every process, and comes back with the result.
    input.known = std::move(known_);
    isScanning_ = true;

    // The clock is read on the worker so CPU use is measured over the time
    // that really passed between the two samples. The GPU source is held
    // for the scan, which may outlive the watcher.
    loop_.runInBackground(
        [input = std::move(input), processes = processes_, gpu = gpu_, &clock = loop_.clock()]() mutable {
            return scanProcesses(std::move(input), *processes, clock.monotonicNow(), clock.wallNow(),
                                 DisplayNameCollator::forUserLocale());
        },
        [this, alive = life_.weak()](ScanResult result) {
            if (alive.lock()) publish(std::move(result));
        });
}

std::vector<AppSnapshot> ProcessWatcher::snapshotApplications() const {
    std::vector<AppSnapshot> snapshots;
    if (!applications_) return snapshots;
    for (const RunningApplication& app : applications_->list()) {
        snapshots.push_back({app.pid, lowerCased(app.localizedName), lowerCased(app.bundleIdentifier)});
    }
    return snapshots;
}

WallTime ProcessWatcher::firstSightingOf(std::int32_t pid, const std::map<std::int32_t, std::uint64_t>& startTimes,
                                         WallTime now) {
    const auto started = startTimes.find(pid);
    const std::uint64_t startTime = started != startTimes.end() ? started->second : 0;
    auto [it, added] = firstSeenAt_.try_emplace(pid, FirstSighting{now, startTime});
    FirstSighting& sighting = it->second;
    // A reused pid is another process, seen for the first time now. When a
    // start time is unknown (figures unreadable), the pid alone decides.
    if (!added && startTime != 0 && sighting.startTime != 0 && startTime != sighting.startTime) {
        sighting.at = now;
    }
    if (startTime != 0) sighting.startTime = startTime;
    return sighting.at;
}

void ProcessWatcher::publish(ScanResult result) {
    samples_ = std::move(result.samples);
    lastActiveAt_ = std::move(result.active);
    known_ = std::move(result.known);

    const WallTime now = loop_.clock().wallNow();
    std::set<std::int32_t> listed;
    for (Match& match : result.matches) {
        match.firstSeenAt = firstSightingOf(match.id, result.startTimes, now);
        listed.insert(match.id);
    }
    std::erase_if(firstSeenAt_, [&](const auto& entry) { return !listed.contains(entry.first); });

    // Cleared before observers hear of the result, so one that polls again
    // from its callback is not turned away.
    isScanning_ = false;
    // The first list after a start is announced even when it equals the last
    // one: a new observer (Auto Mode just entered) needs that first report to
    // act on, for example to let go of a keep-awake nothing asks for.
    if (std::exchange(freshStart_, false)) {
        matches.publish(std::move(result.matches));
    } else {
        matches.set(std::move(result.matches));
    }
}

}  // namespace vigilo
