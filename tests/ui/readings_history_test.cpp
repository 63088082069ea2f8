#include "ui/readings_history.h"

#include <gtest/gtest.h>

#include "app/app_state_fixture.h"

namespace vigilo::testing {
namespace {

using namespace std::chrono_literals;

class ReadingsHistoryTest : public AppStateTest {
protected:
    static std::vector<std::size_t> sizes(const std::vector<ReadingRun>& runs) {
        std::vector<std::size_t> out;
        for (const auto& run : runs) out.push_back(run.size());
        return out;
    }
    WallTime now() const { return loop.clock().wallNow(); }
};

// One history over a day of bad luck: an hour kept of ninety minutes, a
// sleep, the clock set back, and a temperature sensor that never reports.
TEST_F(ReadingsHistoryTest, AnHourKeptOlderDroppedAndGapsWhereTheComputerSleptOrTheClockWentBack) {
    state();
    powerSources.setBattery(80, false);
    loop.runUntilIdle();
    ReadingsHistory history(state(), loop);

    loop.fastForwardBy(90min);
    auto levels = history.battery();
    EXPECT_EQ(sizes(levels), std::vector<std::size_t>{121}) << "every 30 s over the last hour, ends included";
    EXPECT_EQ(levels.front().front().at, now() - 1h);
    EXPECT_EQ(levels.front().back(), (ReadingPoint{now(), 80.0}));

    loop.advanceWallClock(20min);  // asleep: the wall clock goes on, the monotonic one does not
    loop.fastForwardBy(1min);
    EXPECT_EQ(sizes(history.battery()), (std::vector<std::size_t>{79, 2}));

    loop.advanceWallClock(-3h);  // the clock set back: nothing lies in the future
    loop.fastForwardBy(30s);
    EXPECT_EQ(sizes(history.battery()), std::vector<std::size_t>{1});
    EXPECT_EQ(history.battery().front().front().at, now());

    loop.fastForwardBy(5h);
    EXPECT_TRUE(history.temperature().empty());
    EXPECT_EQ(sizes(history.battery()), std::vector<std::size_t>{121});
}

TEST_F(ReadingsHistoryTest, WorkloadsKeepTenMinutesOfCpuAndOfTheGpuWhereMeasured) {
    state();
    ReadingsHistory history(state(), loop);
    WatchMatch claude;
    claude.displayName = "claude";
    claude.cpuPercent = 42;
    claude.gpuPercent = 80;
    WatchMatch make = claude;
    make.displayName = "make";
    make.gpuPercent = -1;
    for (int i = 0; i < 30; ++i) {  // a scan every 30 s for 15 minutes
        watcher.matches.publish({claude, make});
        loop.fastForwardBy(30s);
    }
    EXPECT_EQ(sizes(history.workloadCpu("claude")), std::vector<std::size_t>{20});
    EXPECT_EQ(sizes(history.workloadGpu("claude")), std::vector<std::size_t>{20});
    EXPECT_TRUE(history.workloadGpu("make").empty());
    loop.fastForwardBy(11min);
    watcher.matches.publish({});
    EXPECT_TRUE(history.workloadCpu("claude").empty());
}

}  // namespace
}  // namespace vigilo::testing
