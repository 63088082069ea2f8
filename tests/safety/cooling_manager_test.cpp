#include "safety/cooling_manager.h"

#include <gtest/gtest.h>

#include <chrono>

#include "common/log_capture.h"
#include "safety/memory_smc_transport.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;
using testing::MemorySMCTransport;
using Bytes = std::vector<std::uint8_t>;
using Reading = FanController::Reading;

struct CoolingTest : ::testing::Test {
    MemorySMCTransport transport;
    SMC smc{transport};
    vigilo::testing::LogCapture logs;

    std::vector<MemorySMCTransport::Write> writesTo(const std::string& key) {
        std::vector<MemorySMCTransport::Write> found;
        for (const auto& w : transport.writes) {
            if (w.key == key) found.push_back(w);
        }
        return found;
    }
    Bytes targetBytes(int fan) {
        auto writes = writesTo("F" + std::to_string(fan) + "Tg");
        if (writes.empty()) return {};
        EXPECT_EQ(writes.back().type, "fpe2");
        EXPECT_EQ(writes.back().size, 2u);
        return {writes.back().bytes[0], writes.back().bytes[1]};
    }
};

TEST_F(CoolingTest, PresetTargetsAndTheirBytes) {
    transport.setUi8("FNum", 1);
    transport.addFan(0, 2000, 1200, 5800, 2000);
    CoolingManager::runPreset(smc, FanPreset::aiWorkload);
    EXPECT_EQ(targetBytes(0), (Bytes{0x45, 0x10})) << "4420 rpm sent as 17680";
    CoolingManager::runPreset(smc, FanPreset::quiet);
    EXPECT_EQ(targetBytes(0), (Bytes{0x12, 0xC0}));
    CoolingManager::runPreset(smc, FanPreset::emergencyMax);
    EXPECT_EQ(targetBytes(0), (Bytes{0x5A, 0xA0}));
    for (const auto& w : writesTo("F0Md")) {
        EXPECT_EQ(w.type, "ui8 ");
        EXPECT_EQ(w.size, 1u);
        EXPECT_EQ(w.bytes[0], 1);
    }
    EXPECT_EQ(writesTo("F0Md").size(), 3u);
    // Targets are clamped to the fan's range.
    EXPECT_TRUE(FanController::setTarget(smc, 0, 9000));
    EXPECT_EQ(targetBytes(0), (Bytes{0x5A, 0xA0}));
    EXPECT_TRUE(FanController::setTarget(smc, 0, 500));
    EXPECT_EQ(targetBytes(0), (Bytes{0x12, 0xC0}));
}

TEST_F(CoolingTest, BothWritesAreTriedAndEitherFailureFails) {
    transport.addFan(0, 2000, 1200, 5800, 2000);
    transport.keys["F0Md"] = {"ui8 ", 1, {0}, false};
    EXPECT_FALSE(FanController::setTarget(smc, 0, 3000));
    EXPECT_EQ(writesTo("F0Tg").size(), 1u);
    EXPECT_TRUE(logs.contains("SMC: error: SMC write F0Md failed rc=0 result=1"));
}

TEST_F(CoolingTest, TargetThatDoesNotFitSixteenBitsIsRefusedUnwritten) {
    transport.setFpe2("F0Ac", 2000);  // no minimum or maximum readable
    EXPECT_FALSE(FanController::setTarget(smc, 0, 20000));
    EXPECT_FALSE(FanController::setTarget(smc, 0, -5));
    EXPECT_TRUE(transport.writes.empty());
    EXPECT_TRUE(FanController::setTarget(smc, 0, 16383.75));
    EXPECT_EQ(targetBytes(0), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(FanController::encodeFpe2(0.125), (std::array<std::uint8_t, 2>{0x00, 0x01})) << "halves round away from zero";
}

TEST_F(CoolingTest, ReadAllSkipsFansWithoutActualSpeedAndFillsDefaults) {
    transport.setUi8("FNum", 3);
    transport.addFan(0, 2000, 1200, 5800, 2500);
    transport.addFan(1, 1000, 900, 4000, 1000);
    transport.keys.erase("F1Ac");
    transport.setFpe2("F2Ac", 1800);
    EXPECT_EQ(FanController::readAll(smc), (std::vector<Reading>{{0, 2000, 1200, 5800, 2500}, {2, 1800, 0, 0, 1800}}));
}

TEST_F(CoolingTest, FanCountGarbage) {
    EXPECT_EQ(FanController::count(smc), 0);
    transport.keys["FNum"] = {"ui8 ", 0, {}};
    EXPECT_EQ(FanController::count(smc), 0);
    transport.setFloat("FNum", -3.0f);
    EXPECT_EQ(FanController::count(smc), 0);
    transport.setFloat("FNum", 1e30f);
    EXPECT_EQ(FanController::count(smc), FanController::kMaxFans);
    transport.setFloat("FNum", 2.9f);
    EXPECT_EQ(FanController::count(smc), 2);
    EXPECT_EQ(FanController::fanKey(10, "Ac"), "F10Ac");
}

TEST_F(CoolingTest, TemperatureIsTheHottestPlausibleSensor) {
    EXPECT_EQ(CoolingManager::hottestTemperature(smc), std::nullopt);
    transport.keys["TC0P"] = {"sp78", 2, {0x2D, 0x80}};
    EXPECT_EQ(CoolingManager::hottestTemperature(smc), 45.5);
    transport.setFloat("Tp01", 52.0f);
    transport.setFloat("Tg05", 61.5f);
    transport.setFloat("Tp05", 0.0f);
    transport.setFloat("Tp09", 130.0f);
    transport.setFloat("TCXC", 1.0f);
    EXPECT_EQ(CoolingManager::hottestTemperature(smc), 61.5);
    transport.keys["TC0P"] = {"sp78", 2, {0xF6, 0x00}};  // -10 °C
    transport.keys["TCAD"] = {"ui8 ", 1, {99}};
    transport.keys["TC0D"] = {"sp78", 1, {0x50}};  // too short: decoded as unsigned 80
    EXPECT_EQ(CoolingManager::hottestTemperature(smc), 99.0);
}

TEST_F(CoolingTest, BalancedWritesOnlyModes) {
    transport.setUi8("FNum", 2);
    transport.addFan(0, 2000, 1200, 5800, 2000);
    transport.addFan(1, 2000, 1200, 5800, 2000);
    CoolingManager::runPreset(smc, FanPreset::balanced);
    ASSERT_EQ(transport.writes.size(), 2u);
    EXPECT_EQ(transport.writes[0].key, "F0Md");
    EXPECT_EQ(transport.writes[1].key, "F1Md");
    for (const auto& w : transport.writes) EXPECT_EQ(w.bytes[0], 0);
}

TEST(FanPresetTest, RawValuesRoundTripAndOthersAreRefused) {
    for (auto preset : kAllFanPresets) EXPECT_EQ(fanPresetFromRaw(rawValue(preset)), preset);
    EXPECT_STREQ(shownName(FanPreset::aiWorkload), "AI Workload");
    EXPECT_EQ(fanPresetFromRaw("Quiet"), std::nullopt);
}

struct CoolingManagerTest : CoolingTest {
    FakeLoop loop;
    CoolingManager manager{loop, smc};
    int temperatureChanges = 0, fanChanges = 0, supportChanges = 0;
    std::vector<FanPreset> presets;
    Handle a = manager.temperature().subscribe([this](const auto&) { ++temperatureChanges; });
    Handle b = manager.fans().subscribe([this](const auto&) { ++fanChanges; });
    Handle c = manager.controlSupported().subscribe([this](const auto&) { ++supportChanges; });
    Handle d = manager.activePreset().subscribe([this](const auto& p) { presets.push_back(p); });

    void twoFans() {
        transport.setUi8("FNum", 2);
        transport.addFan(0, 2000, 1200, 5800, 2000);
        transport.addFan(1, 2100, 1200, 5800, 2100);
        transport.setFloat("TC0P", 55.0f);
    }
};

TEST_F(CoolingManagerTest, ScansAtOnceThenEveryFiveSecondsPublishingOnlyChanges) {
    twoFans();
    manager.start();
    loop.runUntilIdle();
    EXPECT_EQ(manager.temperature().get(), 55.0);
    EXPECT_EQ(manager.fans().get().size(), 2u);
    EXPECT_TRUE(manager.controlSupported().get());
    EXPECT_EQ(std::tie(temperatureChanges, fanChanges, supportChanges), std::tuple(1, 1, 1));

    loop.fastForwardBy(5s);
    EXPECT_EQ(std::tie(temperatureChanges, fanChanges, supportChanges), std::tuple(1, 1, 1));

    transport.setFloat("TC0P", 60.0f);
    loop.fastForwardBy(5s);
    EXPECT_EQ(std::tie(temperatureChanges, fanChanges, supportChanges), std::tuple(2, 1, 1));
}

TEST_F(CoolingManagerTest, OneScanInFlightAtATime) {
    twoFans();
    loop.holdBackgroundTasks(true);
    manager.start();
    loop.fastForwardBy(15s);
    EXPECT_EQ(loop.pendingBackgroundTasks(), 1u);
    loop.holdBackgroundTasks(false);
    loop.runBackgroundTasks();
    loop.runUntilIdle();
    loop.fastForwardBy(5s);
    EXPECT_EQ(temperatureChanges, 1);
}

TEST_F(CoolingManagerTest, ApplyPublishesThePresetFirstThenScansAgain) {
    twoFans();
    manager.start();
    loop.runUntilIdle();
    loop.holdBackgroundTasks(true);
    manager.apply(FanPreset::emergencyMax);
    EXPECT_EQ(presets, std::vector{FanPreset::emergencyMax});
    EXPECT_TRUE(transport.writes.empty()) << "the preset is published before any fan is touched";
    transport.setFpe2("F0Tg", 5800);  // what the controller will report once the preset ran
    loop.holdBackgroundTasks(false);
    loop.runBackgroundTasks();
    loop.runUntilIdle();
    EXPECT_EQ(transport.writes.size(), 4u);
    EXPECT_EQ(fanChanges, 2) << "the follow-up scan shows the new target without waiting for a tick";
    EXPECT_EQ(manager.fans().get()[0].target, 5800);
}

// A rule or the heat can ask at launch, before the first scan has told
// whether the fans can be driven: the preset waits for that scan.
TEST_F(CoolingManagerTest, APresetAskedBeforeTheFirstScanWaitsForIt) {
    twoFans();
    loop.holdBackgroundTasks(true);
    manager.start();
    manager.applyIfSupported(FanPreset::quiet);
    manager.applyIfSupported(FanPreset::emergencyMax);
    EXPECT_TRUE(presets.empty());
    loop.holdBackgroundTasks(false);
    loop.runBackgroundTasks();
    loop.runUntilIdle();
    EXPECT_EQ(presets, std::vector{FanPreset::emergencyMax}) << "the newest request, once";
    EXPECT_EQ(transport.writes.size(), 4u);

    CoolingManager without(loop, smc);
    transport.setUi8("FNum", 0);
    without.start();
    without.applyIfSupported(FanPreset::quiet);
    loop.runBackgroundTasks();
    loop.runUntilIdle();
    without.applyIfSupported(FanPreset::quiet);
    EXPECT_EQ(without.activePreset().get(), FanPreset::balanced) << "nothing to drive: nothing applied";
}

TEST_F(CoolingManagerTest, WithoutFansPresetsOnlyChangeTheActivePreset) {
    manager.start();
    loop.runUntilIdle();
    manager.apply(FanPreset::quiet);
    loop.runUntilIdle();
    EXPECT_EQ(manager.activePreset().get(), FanPreset::quiet);
    EXPECT_TRUE(manager.fans().get().empty());
    EXPECT_FALSE(manager.controlSupported().get());
    EXPECT_FALSE(manager.temperature().get());
    EXPECT_TRUE(transport.writes.empty());
}

TEST_F(CoolingManagerTest, ControlNeedsAReadableFirstFan) {
    transport.setUi8("FNum", 2);
    transport.addFan(1, 2100, 1200, 5800, 2100);
    manager.start();
    loop.runUntilIdle();
    EXPECT_EQ(manager.fans().get().size(), 1u);
    EXPECT_FALSE(manager.controlSupported().get());
}

TEST_F(CoolingManagerTest, StopEndsScansAndClosesTheSMC) {
    twoFans();
    manager.start();
    loop.runUntilIdle();
    manager.stop();
    EXPECT_FALSE(smc.isOpen());
    auto opens = transport.opens;
    loop.fastForwardBy(30s);
    EXPECT_EQ(transport.opens, opens);
}

TEST(CoolingManagerLifetime, ResultsArrivingAfterDestructionAreDropped) {
    MemorySMCTransport transport;
    SMC smc(transport);
    FakeLoop loop;
    loop.holdBackgroundTasks(true);
    {
        CoolingManager manager(loop, smc);
        manager.start();
        manager.apply(FanPreset::quiet);
    }
    loop.holdBackgroundTasks(false);
    loop.runBackgroundTasks();
    loop.runUntilIdle();
    SUCCEED();
}

}  // namespace
}  // namespace vigilo
