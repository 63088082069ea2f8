#include "detection/process_scan.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <set>

#include "detection/display_name_collator.h"
#include "support/utf8_text.h"
#include "detection/watcher_interpreters.h"
#include "platform/gpu_usage_source.h"
#include "platform/process_table.h"

namespace vigilo {
namespace {

// A pid that matched, before CPU use decides whether it is listed.
struct Hit {
    std::int32_t pid;
    std::string displayName;
    std::string pattern;
    std::optional<std::string> commandLine;  // when matching read it already
};

struct SplitPatterns {
    std::vector<const std::string*> plain;    // compared with names
    std::vector<const std::string*> special;  // looked for in command lines
};

SplitPatterns splitPatterns(const std::vector<std::string>& patterns) {
    SplitPatterns split;
    for (const auto& pattern : patterns) {
        (isSpecialPattern(pattern) ? split.special : split.plain).push_back(&pattern);
    }
    return split;
}

const std::string* matchApplication(const AppSnapshot& app, const SplitPatterns& patterns) {
    for (const std::string* pattern : patterns.plain) {
        const std::string& p = *pattern;
        if (app.name == p) return pattern;
        // "cursor" finds the application "cursor helper"
        if (app.name.size() > p.size() && app.name.starts_with(p) && app.name[p.size()] == ' ') {
            return pattern;
        }
        if (!app.bundle.empty() && app.bundle.find(p) != std::string::npos) return pattern;
    }
    return nullptr;
}

// The name decides, through the verdict kept from earlier scans; an
// interpreter's command line is read afresh, as it may have changed.
const std::string* matchProcess(const DetectedProcess& process, const std::vector<std::string>& patterns,
                                const SplitPatterns& split, KnownProcesses& known, const ProcessTable& table,
                                std::optional<std::string>& commandLine) {
    const KnownProcesses::Verdict verdict = known.verdictOn(process);
    if (verdict.plainPattern != KnownProcesses::kNoPattern) return &patterns[verdict.plainPattern];
    if (split.special.empty() || !verdict.interpreter) return nullptr;
    commandLine = table.commandLine(process.pid);
    if (!commandLine) return nullptr;
    const std::string lowered = lowerCased(*commandLine);
    for (const std::string* pattern : split.special) {
        if (lowered.find(*pattern) != std::string::npos) return pattern;
    }
    return nullptr;
}

std::vector<Hit> findHits(ScanInput& input, const ProcessTable& table) {
    const SplitPatterns patterns = splitPatterns(input.patterns);
    std::vector<Hit> hits;
    std::set<std::int32_t> seen;
    for (const AppSnapshot& app : input.applications) {
        const std::string* pattern = matchApplication(app, patterns);
        if (pattern && seen.insert(app.pid).second) {
            hits.push_back({app.pid, app.name.empty() ? *pattern : app.name, *pattern, std::nullopt});
        }
    }
    input.known.beginScan(input.patterns);
    for (const DetectedProcess& process : table.allRunning()) {
        if (seen.contains(process.pid)) continue;
        std::optional<std::string> commandLine;
        const std::string* pattern = matchProcess(process, input.patterns, patterns, input.known, table, commandLine);
        if (pattern && seen.insert(process.pid).second) {
            hits.push_back({process.pid, process.name, *pattern, std::move(commandLine)});
        }
    }
    input.known.endScan();
    return hits;
}

std::int64_t wholeSecondsBetween(MonoTime from, MonoTime to) {
    return std::chrono::duration_cast<std::chrono::seconds>(to - from).count();
}

// Asks for the GPU use of every hit at once, so shared descriptors are
// told apart; without a hit, or with GPU detection off, lets go instead.
std::map<std::int32_t, GpuUse> measureGpu(const std::vector<Hit>& hits, const ScanInput& input, MonoTime now) {
    if (!input.gpu) return {};
    if (hits.empty() || !input.useGpuDetection) {
        input.gpu->release();
        return {};
    }
    std::vector<std::int32_t> pids;
    pids.reserve(hits.size());
    for (const Hit& hit : hits) pids.push_back(hit.pid);
    return input.gpu->measure(pids, now);
}

// Decides activity from CPU and GPU use; absent when the hit is left out.
std::optional<WatchMatch> measure(const Hit& hit, const ProcessUsage& usage, const GpuUse* gpu,
                                  const ScanInput& input, MonoTime now, ScanResult& result) {
    const std::uint64_t total = usage.cpuTimeNanos;
    result.samples[hit.pid] = CpuSample{now, total, usage.startTime};

    double cpu = 0;
    bool busy = true;
    const auto previous = input.samples.find(hit.pid);
    // A reused pid is another process: nothing of the old one's history counts.
    const bool sameProcess = previous != input.samples.end() && previous->second.startTime == usage.startTime;
    if (sameProcess) {
        const auto dt = std::chrono::duration_cast<std::chrono::nanoseconds>(now - previous->second.sampledAt);
        if (dt.count() > 0) {
            // Unsigned on purpose: a counter that wrapped still gives the right difference.
            const std::uint64_t used = total - previous->second.totalNanos;
            cpu = static_cast<double>(used) / static_cast<double>(dt.count()) * 100.0;
            busy = cpu >= input.cpuThresholdPercent;
        }
    }
    if (gpu && gpu->percent >= input.gpuThresholdPercent) busy = true;

    std::optional<MonoTime> activeAt;
    if (busy) {
        activeAt = now;
    } else if (auto last = input.lastActiveAt.find(hit.pid); last != input.lastActiveAt.end()) {
        activeAt = last->second;
    }
    if (activeAt) result.active[hit.pid] = *activeAt;

    const std::int64_t since =
        activeAt ? wholeSecondsBetween(*activeAt, now) : std::numeric_limits<std::int64_t>::max();
    if (!busy && since > input.idleHoldoffSeconds) return std::nullopt;

    WatchMatch match{hit.pid, hit.displayName, hit.pattern};
    match.cpuPercent = cpu;
    match.isActive = busy;
    match.secondsSinceActive = busy ? 0 : since;
    return match;
}

}  // namespace

std::vector<std::string> normalizePatterns(const std::vector<std::string>& patterns) {
    std::vector<std::string> normalized;
    normalized.reserve(patterns.size());
    for (const auto& pattern : patterns) {
        const auto first = pattern.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        const auto last = pattern.find_last_not_of(" \t");
        normalized.push_back(lowerCased(std::string_view(pattern).substr(first, last - first + 1)));
    }
    return normalized;
}

bool isSpecialPattern(const std::string& pattern) {
    return pattern.find_first_of("./ ") != std::string::npos;
}

bool nameMatchesPattern(const std::string& name, const std::string& pattern) {
    if (!name.starts_with(pattern)) return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(pattern.size()), name.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

ScanResult scanProcesses(ScanInput input, const ProcessTable& table, MonoTime now, WallTime wallNow,
                         const DisplayNameCollator& collator) {
    ScanResult result;
    const std::vector<Hit> hits = findHits(input, table);
    const std::map<std::int32_t, GpuUse> gpuUse = measureGpu(hits, input, now);
    for (const Hit& hit : hits) {
        // One read gives both CPU time and memory, so the main thread reads nothing.
        const std::optional<ProcessUsage> usage = table.resourceUsage(hit.pid);
        const auto gpu = gpuUse.find(hit.pid);
        const GpuUse* gpuOfHit = gpu != gpuUse.end() ? &gpu->second : nullptr;
        std::optional<WatchMatch> match;
        if (!input.useCpuDetection) {
            match = WatchMatch{hit.pid, hit.displayName, hit.pattern};
        } else if (usage) {
            match = measure(hit, *usage, gpuOfHit, input, now, result);
        }  // else gone, or not ours to read: left out
        if (!match) continue;
        if (gpuOfHit) {
            match->gpuPercent = gpuOfHit->percent;
            match->gpuSource = gpuOfHit->wholeDevice ? "device" : "process";
        }
        match->memoryBytes = usage ? usage->residentBytes : 0;
        match->firstSeenAt = wallNow;
        match->commandLine = (hit.commandLine ? hit.commandLine : table.commandLine(hit.pid)).value_or("");
        if (usage) result.startTimes[hit.pid] = usage->startTime;
        result.matches.push_back(std::move(*match));
    }
    result.known = std::move(input.known);
    std::stable_sort(result.matches.begin(), result.matches.end(),
                     [&](const WatchMatch& a, const WatchMatch& b) {
                         if (a.isActive != b.isActive) return a.isActive;
                         return collator.less(a.displayName, b.displayName);
                     });
    return result;
}

}  // namespace vigilo
