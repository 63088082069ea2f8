#include "safety/thermal_monitor.h"

#include <gtest/gtest.h>

#include <string>

#include "common/log_capture.h"
#include "safety/fake_sources.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

using Level = ThermalMonitor::Level;

using testing::FakeThermalSource;

struct ThermalMonitorTest : ::testing::Test {
    FakeLoop loop;
    FakeThermalSource source;
    ThermalMonitor monitor{loop, source};
    testing::LogCapture logs;
    std::vector<Level> seen;
    Handle subscription = monitor.level().subscribe([this](const Level& l) { seen.push_back(l); });
};

TEST_F(ThermalMonitorTest, ReadsOnStartAndPublishesAndLogsOnlyChanges) {
    EXPECT_EQ(monitor.currentLevel(), Level::nominal);
    source.state = 1;
    monitor.start();
    EXPECT_EQ(seen, std::vector{Level::fair}) << "read at once on start";
    logs.clear();
    source.report(3);
    loop.runUntilIdle();
    EXPECT_EQ(seen, (std::vector{Level::fair, Level::critical}));
    EXPECT_EQ(logs.lines(), std::vector<std::string>{"Thermal: Thermal state changed to 3"});
    source.report(3);  // the same state again: nothing published or logged
    loop.runUntilIdle();
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(logs.lines().size(), 1u);
}

// Without a sensor (-1), or with a value no source should give, nothing is
// known: the status says so rather than "Normal".
TEST_F(ThermalMonitorTest, StatesOutsideTheFourStepsAreUnknown) {
    source.state = 2;
    monitor.start();
    source.report(4);
    loop.runUntilIdle();
    source.report(-1);
    loop.runUntilIdle();
    source.report(0);
    loop.runUntilIdle();
    EXPECT_EQ(seen, (std::vector{Level::serious, Level::unknown, Level::nominal}));
    EXPECT_EQ(logs.lines(), (std::vector<std::string>{"Thermal: Thermal state changed to 2",
                                                      "Thermal: No thermal zone to read; the thermal state is unknown",
                                                      "Thermal: Thermal state changed to 0"}));
}

TEST_F(ThermalMonitorTest, StopEndsObserving) {
    monitor.start();
    auto notify = source.notify;
    monitor.stop();
    EXPECT_FALSE(source.notify);
    source.state = 3;
    notify();
    loop.runUntilIdle();
    EXPECT_EQ(monitor.currentLevel(), Level::critical) << "a refresh already queued still runs while the monitor exists";
}

TEST(ThermalMonitorLabels, LabelsAndRawValues) {
    EXPECT_STREQ(ThermalMonitor::label(Level::nominal), "Normal");
    EXPECT_STREQ(ThermalMonitor::label(Level::fair), "Fair");
    EXPECT_STREQ(ThermalMonitor::label(Level::serious), "Hot");
    EXPECT_STREQ(ThermalMonitor::label(Level::critical), "Very hot");
    EXPECT_STREQ(ThermalMonitor::label(Level::unknown), "unknown");
    EXPECT_EQ(ThermalMonitor::levelFromRaw(2), Level::serious);
    EXPECT_EQ(ThermalMonitor::levelFromRaw(99), Level::unknown);
}

TEST(ThermalMonitorLifetime, NotificationAfterDestructionIsDropped) {
    FakeLoop loop;
    FakeThermalSource source;
    std::function<void()> notify;
    {
        ThermalMonitor monitor(loop, source);
        monitor.start();
        notify = source.notify;
    }
    notify();
    loop.runUntilIdle();  // must not touch the destroyed monitor
    SUCCEED();
}

}  // namespace
}  // namespace vigilo
