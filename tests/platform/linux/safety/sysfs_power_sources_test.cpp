#include "platform/linux/safety/sysfs_power_sources.h"

#include <gtest/gtest.h>

#include <map>

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

TEST(SysfsPowerSources, SuppliesGiveTheSnapshot) {
    using Supplies = std::map<std::string, std::map<std::string, std::string>>;
    const struct {
        const char* name;
        Supplies supplies;
        Snapshot expected;
    } cases[] = {
        {"energy pair",
         {{"BAT0", {{"type", "Battery"}, {"present", "1"}, {"status", "Discharging"}, {"energy_now", "45120000"},
                    {"energy_full", "50000000"}, {"capacity", "12"}}},
          {"AC", {{"type", "Mains"}, {"online", "0"}}}},
         {90, false, false, true}},
        {"charge pair when energy is incomplete, never mixed",
         {{"BAT0", {{"type", "Battery"}, {"status", "Charging"}, {"energy_now", "1000"}, {"charge_now", "3000000"},
                    {"charge_full", "4000000"}, {"capacity", "12"}}},
          {"AC", {{"type", "Mains"}, {"online", "1"}}}},
         {75, true, true, true}},
        {"capacity only", {{"BAT1", {{"type", "Battery"}, {"capacity", "64"}, {"status", "Not charging"}}}},
         {64, false, false, true}},
        {"peripheral and absent batteries are ignored",
         {{"hid-mouse-battery", {{"type", "Battery"}, {"scope", "Device"}, {"capacity", "5"}}},
          {"BAT0", {{"type", "Battery"}, {"present", "0"}, {"capacity", "7"}}},
          {"BAT1", {{"type", "Battery"}, {"scope", "System"}, {"capacity", "81"}}}},
         {81, false, false, true}},
        {"an online USB supply means AC",
         {{"BAT0", {{"type", "Battery"}, {"capacity", "50"}}}, {"ucsi-source-psy-1", {{"type", "USB"}, {"online", "1"}}}},
         {50, false, true, true}},
        {"huge attribute is rejected", {{"BAT0", {{"type", "Battery"}, {"capacity", std::string(10000, '7')}}}},
         {100, false, false, true}},
        {"desktop", {{"AC", {{"type", "Mains"}, {"online", "1"}}}, {"ups0", {{"type", "UPS"}, {"capacity", "40"}}}},
         BatteryMonitor::noBattery()},
    };
    for (const auto& c : cases) {
        testing::TempDir root;
        for (const auto& [name, attributes] : c.supplies) {
            for (const auto& [attribute, value] : attributes) root.write(name + "/" + attribute, value + "\n");
        }
        SysfsPowerSources sources(root.path());
        EXPECT_EQ(BatteryMonitor::readSnapshot(sources.copySources()), c.expected) << c.name;
    }
    testing::TempDir root;
    EXPECT_EQ(SysfsPowerSources(root / "nowhere").copySources(), std::nullopt);
    SysfsPowerSources sources(root.path());
    auto handle = sources.watchChanges([] {});
    ASSERT_TRUE(handle.has_value()) << "the poll is the notification";
    EXPECT_TRUE(handle->active());
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

}  // namespace
}  // namespace vigilo
