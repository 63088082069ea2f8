#include "ui/readings_history.h"

#include "app/app_state.h"
#include "safety/cooling_manager.h"

namespace vigilo {

namespace {

// More wall time than monotonic time between two readings: the computer
// slept in between (or the clock was put forward).
constexpr auto kSleptAfter = std::chrono::seconds(30);

}  // namespace

void ReadingSeries::add(double value, WallTime wallNow, MonoTime monoNow) {
    while (!points_.empty() && points_.back().at > wallNow) points_.pop_back();
    bool startsRun = points_.empty();
    if (!startsRun) {
        const auto& last = points_.back();
        const auto wall = wallNow - last.at;
        const auto mono = monoNow - last.mono;
        startsRun = wall > gapAfter_ || wall - mono > kSleptAfter;
    }
    points_.push_back({wallNow, monoNow, value, startsRun});
    while (points_.front().at < wallNow - kept_) points_.pop_front();
    points_.front().startsRun = true;
}

std::vector<ReadingRun> ReadingSeries::runs(WallTime wallNow) const {
    std::vector<ReadingRun> runs;
    for (const auto& point : points_) {
        if (point.at < wallNow - kept_ || point.at > wallNow) continue;
        if (point.startsRun || runs.empty()) runs.emplace_back();
        runs.back().push_back({point.at, point.value});
    }
    return runs;
}

ReadingsHistory::ReadingsHistory(AppState& state, Loop& loop) : state_(state), loop_(loop) {
    read();
    timer_ = loop_.startRepeating(kEvery, [this] { read(); });
    matches_ = state_.watcher().matches.subscribe([this](const auto& matches) { readWorkloads(matches); });
}

void ReadingsHistory::read() {
    const auto wall = now();
    const auto mono = loop_.clock().monotonicNow();
    if (auto degrees = state_.cooling().temperature().get()) temperature_.add(*degrees, wall, mono);
    const auto battery = state_.battery().currentSnapshot();
    if (battery.hasBattery) battery_.add(battery.level, wall, mono);
}

void ReadingsHistory::readWorkloads(const std::vector<WatchMatch>& matches) {
    const auto wall = now();
    const auto mono = loop_.clock().monotonicNow();
    for (const auto& match : matches) {
        auto& workload = workloads_[match.displayName];
        workload.cpu.add(match.cpuPercent, wall, mono);
        if (match.gpuPercent >= 0) workload.gpu.add(match.gpuPercent, wall, mono);
    }
    // Names gone for ten minutes take nothing with them.
    std::erase_if(workloads_, [&](const auto& entry) { return entry.second.cpu.runs(wall).empty(); });
}

std::vector<ReadingRun> ReadingsHistory::workloadCpu(const std::string& name) const {
    auto found = workloads_.find(name);
    return found == workloads_.end() ? std::vector<ReadingRun>{} : found->second.cpu.runs(now());
}

std::vector<ReadingRun> ReadingsHistory::workloadGpu(const std::string& name) const {
    auto found = workloads_.find(name);
    return found == workloads_.end() ? std::vector<ReadingRun>{} : found->second.gpu.runs(now());
}

}  // namespace vigilo
