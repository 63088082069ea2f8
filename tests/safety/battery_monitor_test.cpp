#include "safety/battery_monitor.h"

#include <gtest/gtest.h>

#include <chrono>

#include "common/log_capture.h"
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

TEST(BatteryMonitorReading, LevelIsTruncatedPercentOfMaxCapacity) {
    EXPECT_EQ(read(std::vector{battery(std::int64_t{4512}, std::int64_t{5000})}).level, 90);
    EXPECT_EQ(read(std::vector{battery(std::int64_t{5000}, std::int64_t{5000})}).level, 100);
    EXPECT_EQ(read(std::vector{battery(std::int64_t{6000}, std::int64_t{5000})}).level, 100);
}

TEST(BatteryMonitorReading, WholePercentagesOutOfOneHundredStayExact) {
    for (std::int64_t percent = 0; percent <= 100; ++percent) {
        EXPECT_EQ(read(std::vector{battery(percent, std::int64_t{100})}).level, percent);
    }
    EXPECT_EQ(read(std::vector{battery(std::int64_t{5699}, std::int64_t{10000})}).level, 56);
}

TEST(BatteryMonitorReading, MaxCapacityBelowOneUsesCurrentClamped) {
    EXPECT_EQ(read(std::vector{battery(std::int64_t{87}, std::int64_t{0})}).level, 87);
    EXPECT_EQ(read(std::vector{battery(std::int64_t{140}, std::int64_t{0})}).level, 100);
    EXPECT_EQ(read(std::vector{battery(std::int64_t{-5}, std::int64_t{0})}).level, 0);
    EXPECT_EQ(read(std::vector{battery(std::int64_t{-5}, std::int64_t{100})}).level, 0);
}

TEST(BatteryMonitorReading, MistypedOrMissingCapacitiesCountAsOneHundred) {
    EXPECT_EQ(read(std::vector{battery(std::string("50"), std::int64_t{200})}).level, 50);
    EXPECT_EQ(read(std::vector{battery(std::int64_t{50}, 80.0)}).level, 50);
    PowerSourceDescription bare{{"Type", std::string("InternalBattery")}};
    EXPECT_EQ(read(std::vector{bare}), (Snapshot{100, false, false, true}));
}

TEST(BatteryMonitorReading, OnlyTheExactStateAcPowerMeansOnAc) {
    EXPECT_TRUE(read(std::vector{battery(std::int64_t{100}, std::int64_t{100}, "AC Power")}).isOnACPower);
    EXPECT_FALSE(read(std::vector{battery(std::int64_t{100}, std::int64_t{100}, "Battery Power")}).isOnACPower);
    EXPECT_FALSE(read(std::vector{battery(std::int64_t{100}, std::int64_t{100}, "ac power")}).isOnACPower);
    auto noState = battery(std::int64_t{100}, std::int64_t{100});
    noState.erase("Power Source State");
    EXPECT_FALSE(read(std::vector{noState}).isOnACPower);
}

TEST(BatteryMonitorReading, FullBatteryOnAcThatIsNotCharging) {
    EXPECT_EQ(read(std::vector{battery(std::int64_t{100}, std::int64_t{100}, "AC Power", false)}),
              (Snapshot{100, false, true, true}));
    auto mistyped = battery(std::int64_t{50}, std::int64_t{100}, "AC Power");
    mistyped["Is Charging"] = std::int64_t{1};
    EXPECT_FALSE(read(std::vector{mistyped}).isCharging);
}

TEST(BatteryMonitorReading, NoInternalBatteryGivesTheNoBatterySnapshot) {
    EXPECT_EQ(read(std::nullopt), BatteryMonitor::noBattery());
    EXPECT_EQ(read(std::vector<PowerSourceDescription>{}), BatteryMonitor::noBattery());
    PowerSourceDescription ups{{"Type", std::string("UPS")}, {"Current Capacity", std::int64_t{10}}};
    EXPECT_EQ(read(std::vector{ups}), BatteryMonitor::noBattery());
    PowerSourceDescription mistypedType{{"Type", std::int64_t{2}}};
    PowerSourceDescription untyped{{"Current Capacity", std::int64_t{10}}};
    EXPECT_EQ(read(std::vector{mistypedType, untyped}), BatteryMonitor::noBattery());
    EXPECT_EQ(BatteryMonitor::noBattery(), (Snapshot{100, false, true, false}));
}

TEST(BatteryMonitorReading, FirstInternalBatteryWins) {
    PowerSourceDescription ups{{"Type", std::string("UPS")}};
    auto first = battery(std::int64_t{30}, std::int64_t{100}, "Battery Power");
    auto second = battery(std::int64_t{70}, std::int64_t{100});
    EXPECT_EQ(read(std::vector{ups, first, second}), (Snapshot{30, false, false, true}));
}

class FakePowerSources final : public PowerSources {
public:
    std::optional<std::vector<PowerSourceDescription>> copySources() override {
        ++reads;
        return sources;
    }
    std::optional<Handle> watchChanges(std::function<void()> onChange) override {
        if (!notificationsWork) return std::nullopt;
        notify = std::move(onChange);
        return Handle([this] { notify = nullptr; });
    }

    Sources sources;
    bool notificationsWork = true;
    std::function<void()> notify;
    int reads = 0;
};

struct BatteryMonitorTest : ::testing::Test {
    FakeLoop loop;
    FakePowerSources sources;
    BatteryMonitor monitor{loop, sources};
    std::vector<Snapshot> seen;
    Handle subscription = monitor.snapshot().subscribe([this](const Snapshot& s) { seen.push_back(s); });
};

TEST_F(BatteryMonitorTest, StartsWithNoBatteryAndPublishesAtOnceOnStart) {
    EXPECT_EQ(monitor.currentSnapshot(), BatteryMonitor::noBattery());
    sources.sources = std::vector{battery(std::int64_t{50}, std::int64_t{100}, "Battery Power")};
    monitor.start();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], (Snapshot{50, false, false, true}));
}

TEST_F(BatteryMonitorTest, RepublishesEveryTenSecondsEvenWhenUnchanged) {
    monitor.start();
    loop.fastForwardBy(9s);
    EXPECT_EQ(seen.size(), 1u);
    loop.fastForwardBy(1s);
    EXPECT_EQ(seen.size(), 2u);
    loop.fastForwardBy(20s);
    EXPECT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen.back(), BatteryMonitor::noBattery());
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

TEST(BatteryMonitorLifetime, PendingReadAfterDestructionIsDropped) {
    FakeLoop loop;
    FakePowerSources sources;
    {
        BatteryMonitor monitor(loop, sources);
        monitor.start();
        sources.notify();
    }
    int readsBefore = sources.reads;
    loop.runUntilIdle();
    EXPECT_EQ(sources.reads, readsBefore);
}

TEST(BatteryMonitorLifetime, NotificationThatOutlivesTheMonitorIsHarmless) {
    FakeLoop loop;
    FakePowerSources sources;
    std::function<void()> kept;
    {
        BatteryMonitor monitor(loop, sources);
        monitor.start();
        kept = sources.notify;
    }
    int readsBefore = sources.reads;
    kept();
    loop.runUntilIdle();
    EXPECT_EQ(sources.reads, readsBefore);
}

}  // namespace
}  // namespace vigilo
