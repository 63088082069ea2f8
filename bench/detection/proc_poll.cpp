// One Auto Mode poll over the real /proc against the floor of reading every
// process's short name. Run by bench/detection/run, which first starts idle
// processes so there are at least a thousand to list.

#include <benchmark/benchmark.h>

#include <memory>

#include "comm_floor.h"
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
    for (auto _ : state) {
        const long total = bench::readEveryComm();
        if (total < 0) {
            state.SkipWithError("cannot open /proc");
            return;
        }
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
