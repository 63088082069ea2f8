#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/gpu_usage_source.h"
#include "platform/process_table.h"
#include "platform/running_applications.h"

namespace vigilo::testing {

// A process table made up by the test (named apart from other fakes so the
// two never clash in one test executable). Not thread-safe: use it with a
// FakeLoop, whose background tasks run on the test's thread.
class TestProcessTable final : public ProcessTable {
public:
    std::vector<DetectedProcess> processes;
    std::map<std::int32_t, std::string> commandLines;  // absent pid: unreadable
    std::map<std::int32_t, ProcessUsage> usage;         // absent pid: unreadable
    mutable int listings = 0;
    mutable int commandLineReads = 0;

    // Adds a process with readable figures.
    void add(std::int32_t pid, std::string name, std::uint64_t cpuNanos = 0, std::uint64_t resident = 0,
             std::uint64_t startTime = 0) {
        processes.push_back({pid, std::move(name)});
        usage[pid] = {cpuNanos, resident, startTime};
    }
    void remove(std::int32_t pid) {
        std::erase_if(processes, [&](const DetectedProcess& p) { return p.pid == pid; });
        usage.erase(pid);
        commandLines.erase(pid);
    }
    void addCpu(std::int32_t pid, std::uint64_t nanos) { usage[pid].cpuTimeNanos += nanos; }

    std::vector<DetectedProcess> allRunning() const override {
        ++listings;
        return processes;
    }
    std::optional<std::string> commandLine(std::int32_t pid) const override {
        ++commandLineReads;
        auto it = commandLines.find(pid);
        if (it == commandLines.end()) return std::nullopt;
        return it->second;
    }
    std::optional<ProcessUsage> resourceUsage(std::int32_t pid) const override {
        auto it = usage.find(pid);
        if (it == usage.end()) return std::nullopt;
        return it->second;
    }
};

// GPU use as the test sets it, recording what it was asked.
class TestGpuUsage final : public GpuUsageSource {
public:
    std::map<std::int32_t, GpuUse> use;
    std::vector<std::vector<std::int32_t>> asked;
    int releases = 0;

    std::map<std::int32_t, GpuUse> measure(const std::vector<std::int32_t>& pids, MonoTime) override {
        asked.push_back(pids);
        return use;
    }
    void release() override { ++releases; }
};

class TestRunningApplications final : public RunningApplications {
public:
    std::vector<RunningApplication> applications;
    std::vector<RunningApplication> list() const override { return applications; }
};

}  // namespace vigilo::testing
