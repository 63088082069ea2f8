// One Auto Mode poll over the real /proc against the floor of reading every
// process's short name. Run by bench/detection/run, which first starts idle
// processes so there are at least a thousand to list.

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <memory>

#include "detection/default_patterns.h"
#include "detection/process_watcher.h"
#include "platform/linux/proc/linux_running_applications.h"
#include "platform/linux/proc/process_detector.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

double processCount() { return static_cast<double>(ProcessDetector().allRunning().size()); }

// A full poll: list and match every process against the default patterns,
// sample CPU time for the matches, publish (resident memory included). The
// fake loop runs the background scan inline, so the timing is the poll's own.
void BM_VigiloPoll(benchmark::State& state) {
    FakeLoop loop;
    ProcessWatcher watcher(loop, std::make_shared<ProcessDetector>(),
                           std::make_shared<LinuxRunningApplications>());
    watcher.pollNow();  // a previous sample, as every poll after the first has
    loop.runUntilIdle();
    for (auto _ : state) {
        watcher.pollNow();
        loop.runUntilIdle();
        benchmark::DoNotOptimize(watcher.matches.get().data());
    }
    state.counters["processes"] = processCount();
    state.counters["matches"] = static_cast<double>(watcher.matches.get().size());
}

// Listing alone: every process's pid and name, no matching.
void BM_AllRunning(benchmark::State& state) {
    const ProcessDetector detector;
    for (auto _ : state) benchmark::DoNotOptimize(detector.allRunning());
    state.counters["processes"] = processCount();
}

// The floor: list /proc and open, read and close every <pid>/comm, nothing else.
void BM_CommFloor(benchmark::State& state) {
    std::size_t total = 0;
    for (auto _ : state) {
        DIR* dir = ::opendir("/proc");
        if (!dir) {
            state.SkipWithError("cannot open /proc");
            return;
        }
        const int dirFd = ::dirfd(dir);
        std::array<char, 64> path;
        std::array<char, 256> buffer;
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
            const std::size_t length = std::strlen(entry->d_name);
            std::memcpy(path.data(), entry->d_name, length);
            std::memcpy(path.data() + length, "/comm", sizeof "/comm");
            const int fd = ::openat(dirFd, path.data(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) continue;
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            ::close(fd);
            if (n > 0) total += static_cast<std::size_t>(n);
        }
        ::closedir(dir);
        benchmark::DoNotOptimize(total);
    }
    state.counters["processes"] = processCount();
}

BENCHMARK(BM_VigiloPoll)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_AllRunning)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_CommFloor)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace vigilo

BENCHMARK_MAIN();
