#include "safety/battery_monitor.h"

#include <gtest/gtest.h>

#include <chrono>

#include "common/log_capture.h"
#include "safety/fake_sources.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;
using Snapshot = BatteryMonitor::Snapshot;
using Sources = std::optional<std::vector<PowerSourceDescription>>;

PowerSourceDescription battery(PowerSourceValue current, PowerSourceValue max, std::string state = "AC Power",
                               bool charging = false) {
    return {{"Type", std::string("InternalBattery")},
            {"Current Capacity", current},
            {"Max Capacity", max},
            {"Power Source State", state},
            {"Is Charging", charging}};
}

Snapshot read(Sources sources) { return BatteryMonitor::readSnapshot(sources); }

TEST(BatteryMonitorReading, LevelIsTruncatedPercentOfMaxCapacityClamped) {
    using V = PowerSourceValue;
    const struct {
        V current, max;
        int level;
    } cases[] = {
        {std::int64_t{4512}, std::int64_t{5000}, 90}, {std::int64_t{5000}, std::int64_t{5000}, 100},
        {std::int64_t{6000}, std::int64_t{5000}, 100}, {std::int64_t{5699}, std::int64_t{10000}, 56},
        // A maximum below one: the current value is the percentage.
        {std::int64_t{87}, std::int64_t{0}, 87}, {std::int64_t{140}, std::int64_t{0}, 100},
        {std::int64_t{-5}, std::int64_t{0}, 0}, {std::int64_t{-5}, std::int64_t{100}, 0},
        // A mistyped capacity counts as one hundred.
        {std::string("50"), std::int64_t{200}, 50}, {std::int64_t{50}, 80.0, 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        EXPECT_EQ(read(std::vector{battery(c.current, c.max)}).level, c.level);
    }
    for (std::int64_t percent = 0; percent <= 100; ++percent) {
        EXPECT_EQ(read(std::vector{battery(percent, std::int64_t{100})}).level, percent);
    }
}

TEST(BatteryMonitorReading, StateFlagsAndWhichSourceIsTheBattery) {
    const auto full = [](std::string state) { return battery(std::int64_t{100}, std::int64_t{100}, state); };
    auto noState = full("AC Power");
    noState.erase("Power Source State");
    auto mistypedCharging = battery(std::int64_t{50}, std::int64_t{100}, "AC Power");
    mistypedCharging["Is Charging"] = std::int64_t{1};
    const PowerSourceDescription bare{{"Type", std::string("InternalBattery")}},
        ups{{"Type", std::string("UPS")}, {"Current Capacity", std::int64_t{10}}}, mistypedType{{"Type", std::int64_t{2}}},
        untyped{{"Current Capacity", std::int64_t{10}}};
    const auto noBattery = BatteryMonitor::noBattery();
    EXPECT_EQ(noBattery, (Snapshot{100, false, true, false}));
    const struct {
        Sources sources;
        Snapshot expected;
    } cases[] = {
        {std::vector{bare}, {100, false, false, true}},
        // Only the exact state "AC Power" means on AC.
        {std::vector{full("AC Power")}, {100, false, true, true}},
        {std::vector{full("Battery Power")}, {100, false, false, true}},
        {std::vector{full("ac power")}, {100, false, false, true}},
        {std::vector{noState}, {100, false, false, true}},
        {std::vector{mistypedCharging}, {50, false, true, true}},
        {std::nullopt, noBattery},
        {std::vector<PowerSourceDescription>{}, noBattery},
        {std::vector{ups}, noBattery},
        {std::vector{mistypedType, untyped}, noBattery},
        // The first internal battery wins.
        {std::vector{ups, battery(std::int64_t{30}, std::int64_t{100}, "Battery Power"), full("AC Power")},
         {30, false, false, true}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(read(cases[i].sources), cases[i].expected) << i;
}

using testing::FakePowerSources;

struct BatteryMonitorTest : ::testing::Test {
    FakeLoop loop;
    FakePowerSources sources;
    BatteryMonitor monitor{loop, sources};
    std::vector<Snapshot> seen;
    Handle subscription = monitor.snapshot().subscribe([this](const Snapshot& s) { seen.push_back(s); });
};

TEST_F(BatteryMonitorTest, PublishesAtOnceOnStartThenEveryTenSecondsEvenWhenUnchanged) {
    EXPECT_EQ(monitor.currentSnapshot(), BatteryMonitor::noBattery());
    sources.sources = std::vector{battery(std::int64_t{50}, std::int64_t{100}, "Battery Power")};
    monitor.start();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], (Snapshot{50, false, false, true}));
    loop.fastForwardBy(9s);
    EXPECT_EQ(seen.size(), 1u);
    loop.fastForwardBy(1s);
    EXPECT_EQ(seen.size(), 2u);
    loop.fastForwardBy(20s);
    EXPECT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen.back(), seen[0]);
}

TEST_F(BatteryMonitorTest, NotificationReadsAtOnceOnTheLoop) {
    monitor.start();
    sources.sources = std::vector{battery(std::int64_t{20}, std::int64_t{100}, "Battery Power")};
    ASSERT_TRUE(sources.notify);
    sources.notify();
    EXPECT_EQ(seen.size(), 1u) << "the read hops onto the loop first";
    loop.runUntilIdle();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen.back().level, 20);
}

TEST_F(BatteryMonitorTest, WithoutNotificationsLogsAndKeepsPolling) {
    testing::LogCapture logs;
    sources.notificationsWork = false;
    monitor.start();
    EXPECT_TRUE(logs.contains("Battery: error: power-source change notification could not be set up"));
    loop.fastForwardBy(10s);
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(BatteryMonitorTest, StopEndsPollingAndNotification) {
    monitor.start();
    monitor.stop();
    EXPECT_FALSE(sources.notify);
    loop.fastForwardBy(60s);
    EXPECT_EQ(seen.size(), 1u);
}

// A read already queued, and a notification kept past the monitor, must not
// reach it once it is gone.
TEST(BatteryMonitorLifetime, ReadsAfterDestructionAreDropped) {
    FakeLoop loop;
    FakePowerSources sources;
    std::function<void()> kept;
    {
        BatteryMonitor monitor(loop, sources);
        monitor.start();
        kept = sources.notify;
        sources.notify();
    }
    int readsBefore = sources.reads;
    kept();
    loop.runUntilIdle();
    EXPECT_EQ(sources.reads, readsBefore);
}

}  // namespace
}  // namespace vigilo
