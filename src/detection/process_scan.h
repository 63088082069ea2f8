#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "detection/known_processes.h"
#include "support/clock.h"

namespace vigilo {

class DisplayNameCollator;
class GpuUsageSource;
class ProcessTable;

// One current workload: a running application or process that matched a
// watch pattern. Published by ProcessWatcher as ProcessWatcher::Match.
struct WatchMatch {
    std::int32_t id = 0;      // pid
    std::string displayName;  // process name in its own case, or lower-cased application name
    std::string pattern;      // the normalised pattern that matched
    double cpuPercent = 0;    // since the previous sample, percent of one core; 0 when not measured
    // The busiest GPU engine since the previous sample, 0…100; -1 when not
    // measured (first sighting, GPU detection off, nothing readable).
    double gpuPercent = -1;
    // Where gpuPercent comes from: "process" (the process's own use), "device"
    // (the whole device's use, for a process whose own use cannot be read),
    // or empty when not measured.
    std::string gpuSource;
    bool isActive = true;     // busy now (always, without CPU detection)
    std::int64_t secondsSinceActive = 0;  // whole seconds since last busy; 0 when active
    std::uint64_t memoryBytes = 0;        // resident size; 0 when unknown
    WallTime firstSeenAt{};               // when this pid entered the list
    std::string commandLine;              // as the process table gives it; empty when unreadable

    bool operator==(const WatchMatch&) const = default;
};

// CPU time a process had used at one moment.
struct CpuSample {
    MonoTime sampledAt{};
    std::uint64_t totalNanos = 0;
    std::uint64_t startTime = 0;  // of the process sampled: a reused pid is not compared with it

    bool operator==(const CpuSample&) const = default;
};

// A running application as the scan sees it: name and bundle lower-cased.
struct AppSnapshot {
    std::int32_t pid = 0;
    std::string name;
    std::string bundle;
};

// Everything one scan reads, as copies. `patterns` must be normalised.
struct ScanInput {
    std::vector<std::string> patterns;
    std::vector<AppSnapshot> applications;
    bool useCpuDetection = true;
    double cpuThresholdPercent = 5.0;
    bool useGpuDetection = true;
    double gpuThresholdPercent = 10.0;  // percent of the busiest engine; at or above is busy
    std::int64_t idleHoldoffSeconds = 60;
    // Measures the matches' GPU use; null: not measured. Released when a
    // scan finds no match or GPU detection is off, so nothing stays open.
    GpuUsageSource* gpu = nullptr;
    std::map<std::int32_t, CpuSample> samples;        // from the previous scan
    std::map<std::int32_t, MonoTime> lastActiveAt;    // from the previous scan
    KnownProcesses known;                             // from the previous scan; moved in
};

struct ScanResult {
    std::vector<WatchMatch> matches;  // sorted: active first, then by display name; memory read
    std::map<std::int32_t, CpuSample> samples;
    std::map<std::int32_t, MonoTime> active;
    std::map<std::int32_t, std::uint64_t> startTimes;  // of the matches whose figures could be read
    KnownProcesses known;                               // for the next scan
};

// Trims spaces and tabs at both ends, lower-cases, drops empty patterns;
// keeps order and duplicates.
std::vector<std::string> normalizePatterns(const std::vector<std::string>& patterns);

// A pattern with a full stop, a slash or a space names a script or a
// command, so it is looked for only in interpreters' command lines.
bool isSpecialPattern(const std::string& pattern);

// The name rule: `name` (lower-cased) is `pattern` itself or `pattern`
// followed only by digits and full stops, so "python" finds "python3.12"
// but not "pythonw".
bool nameMatchesPattern(const std::string& name, const std::string& pattern);

// One scan: applications, then processes, then CPU and GPU use, resident
// memory and the idle hold-off, then the sort. A match is busy when its CPU
// or its GPU use reaches its threshold; without CPU detection every match is
// active and GPU use is only shown. Pure apart from reading `table`; runs
// off the main thread. `now` is the one moment the whole scan is judged at.
// Reads each process's name; a command line only of an interpreter when
// there are special patterns, and figures and command lines only of the
// matches.
ScanResult scanProcesses(ScanInput input, const ProcessTable& table, MonoTime now, WallTime wallNow,
                         const DisplayNameCollator& collator);

}  // namespace vigilo
