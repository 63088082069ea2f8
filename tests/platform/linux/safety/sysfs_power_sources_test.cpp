#include "platform/linux/safety/sysfs_power_sources.h"

#include <gtest/gtest.h>

#include "common/temp_dir.h"
#include "safety/battery_monitor.h"

namespace vigilo {
namespace {

using Snapshot = BatteryMonitor::Snapshot;

struct SysfsPowerSourcesTest : ::testing::Test {
    testing::TempDir root;

    void supply(const std::string& name, std::map<std::string, std::string> attributes) {
        for (const auto& [attribute, value] : attributes) root.write(name + "/" + attribute, value + "\n");
    }
    Snapshot snapshot() {
        SysfsPowerSources sources(root.path());
        return BatteryMonitor::readSnapshot(sources.copySources());
    }
};

TEST_F(SysfsPowerSourcesTest, EnergyPairGivesTheLevel) {
    supply("BAT0", {{"type", "Battery"}, {"present", "1"}, {"status", "Discharging"},
                    {"energy_now", "45120000"}, {"energy_full", "50000000"}, {"capacity", "12"}});
    supply("AC", {{"type", "Mains"}, {"online", "0"}});
    EXPECT_EQ(snapshot(), (Snapshot{90, false, false, true}));
}

TEST_F(SysfsPowerSourcesTest, ChargePairWhenEnergyIsIncompleteAndNeverMixed) {
    supply("BAT0", {{"type", "Battery"}, {"status", "Charging"}, {"energy_now", "1000"},
                    {"charge_now", "3000000"}, {"charge_full", "4000000"}, {"capacity", "12"}});
    supply("AC", {{"type", "Mains"}, {"online", "1"}});
    EXPECT_EQ(snapshot(), (Snapshot{75, true, true, true}));
}

TEST_F(SysfsPowerSourcesTest, CapacityOnly) {
    supply("BAT1", {{"type", "Battery"}, {"capacity", "64"}, {"status", "Not charging"}});
    EXPECT_EQ(snapshot(), (Snapshot{64, false, false, true}));
}

TEST_F(SysfsPowerSourcesTest, PeripheralAndAbsentBatteriesAreIgnored) {
    supply("hid-mouse-battery", {{"type", "Battery"}, {"scope", "Device"}, {"capacity", "5"}});
    supply("BAT0", {{"type", "Battery"}, {"present", "0"}, {"capacity", "7"}});
    supply("BAT1", {{"type", "Battery"}, {"scope", "System"}, {"capacity", "81"}});
    EXPECT_EQ(snapshot().level, 81);
}

TEST_F(SysfsPowerSourcesTest, UsbSupplyOnlineMeansAc) {
    supply("BAT0", {{"type", "Battery"}, {"capacity", "50"}});
    supply("ucsi-source-psy-1", {{"type", "USB"}, {"online", "1"}});
    EXPECT_TRUE(snapshot().isOnACPower);
}

TEST_F(SysfsPowerSourcesTest, DesktopWithoutBatteryOrTreeGivesNoBattery) {
    supply("AC", {{"type", "Mains"}, {"online", "1"}});
    supply("ups0", {{"type", "UPS"}, {"capacity", "40"}});
    EXPECT_EQ(snapshot(), BatteryMonitor::noBattery());
    SysfsPowerSources missing(root / "nowhere");
    EXPECT_EQ(missing.copySources(), std::nullopt);
}

TEST_F(SysfsPowerSourcesTest, GarbageValuesFallBackWithoutThrowing) {
    supply("BAT0", {{"type", "Battery"}, {"energy_now", "lots"}, {"energy_full", "-3"},
                    {"charge_now", "99999999999999999999999"}, {"charge_full", "5"}, {"capacity", ""}});
    supply("AC", {{"type", "Mains"}, {"online", "yes"}});
    EXPECT_EQ(snapshot(), (Snapshot{100, false, false, true}));

    supply("BAT0", {{"capacity", "-20"}});
    EXPECT_EQ(snapshot().level, 100);
    supply("BAT0", {{"energy_now", "70"}, {"energy_full", "0"}, {"capacity", "250"}});
    EXPECT_EQ(snapshot().level, 100) << "capacity above 100 is clamped";
    supply("BAT0", {{"energy_now", "-70"}, {"energy_full", "100"}, {"capacity", "33"}});
    EXPECT_EQ(snapshot().level, 33);
}

TEST_F(SysfsPowerSourcesTest, HugeAttributeIsRejected) {
    supply("BAT0", {{"type", "Battery"}, {"capacity", std::string(10000, '7')}});
    EXPECT_EQ(snapshot().level, 100);
}

TEST_F(SysfsPowerSourcesTest, PollIsTheNotification) {
    SysfsPowerSources sources(root.path());
    auto handle = sources.watchChanges([] {});
    ASSERT_TRUE(handle.has_value());
    EXPECT_TRUE(handle->active());
}

}  // namespace
}  // namespace vigilo
