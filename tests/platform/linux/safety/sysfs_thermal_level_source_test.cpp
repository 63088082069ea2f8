#include "platform/linux/safety/sysfs_thermal_level_source.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "cli/status_text.h"
#include "common/temp_dir.h"
#include "safety/thermal_monitor.h"
#include "support/fake_loop.h"
#include "ui/dashboard_view_model.h"
#include "ui/status_view_model.h"
#include "ui/tray_menu_model.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;

struct ThermalTree : ::testing::Test {
    testing::TempDir root;

    // Trips as (type, millidegrees).
    void zone(int index, long milliC, std::vector<std::pair<std::string, long>> trips = {}) {
        auto name = "thermal_zone" + std::to_string(index) + "/";
        root.write(name + "temp", std::to_string(milliC) + "\n");
        for (std::size_t i = 0; i < trips.size(); ++i) {
            auto prefix = name + "trip_point_" + std::to_string(i);
            root.write(prefix + "_type", trips[i].first + "\n");
            root.write(prefix + "_temp", std::to_string(trips[i].second) + "\n");
        }
    }
    void setTemp(int index, const std::string& text) { root.write("thermal_zone" + std::to_string(index) + "/temp", text); }
    void cooling(int index, const std::string& type, long current, long max) {
        auto name = "cooling_device" + std::to_string(index) + "/";
        root.write(name + "type", type + "\n");
        root.write(name + "cur_state", std::to_string(current) + "\n");
        root.write(name + "max_state", std::to_string(max) + "\n");
    }
    int level() { return ThermalReadings::read(root.path()).level(); }
};

TEST_F(ThermalTree, TripsGiveTheLevel) {
    using Trips = std::vector<std::pair<std::string, long>>;
    const Trips passive{{"passive", 95000}, {"passive", 90000}, {"critical", 105000}};
    const struct {
        long milliC;
        Trips trips;
        int level;
    } cases[] = {
        {79000, passive, 0},
        {80000, passive, 1},  // within 10 °C of the lowest passive trip
        {90000, passive, 2},
        {84999, {{"hot", 85000}}, 0},
        {85000, {{"hot", 85000}}, 3},
        {94999, {{"critical", 100000}}, 0},
        {95000, {{"critical", 100000}}, 3},
        {50000, {{"active", 50000}}, 0},
        {50001, {{"active", 50000}}, 1},  // an exceeded active trip
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(root / "thermal_zone0");
        zone(0, c.milliC, c.trips);
        EXPECT_EQ(level(), c.level) << c.milliC;
    }
}

TEST_F(ThermalTree, HighestZoneAndProcessorThrottlingWin) {
    zone(0, 40000, {{"passive", 90000}});
    zone(1, 91000, {{"passive", 90000}});
    EXPECT_EQ(level(), 2);
    cooling(0, "Processor", 8, 10);
    EXPECT_EQ(level(), 3);
    cooling(0, "Processor", 5, 10);
    cooling(1, "Fan", 10, 10);
    EXPECT_EQ(level(), 2);
    zone(1, 30000, {{"passive", 90000}});
    cooling(0, "Processor", 1, 10);
    EXPECT_EQ(level(), 1);
    cooling(0, "Processor", 0, 10);
    EXPECT_EQ(level(), 0);
}

TEST_F(ThermalTree, GarbageAndImplausibleValuesAreIgnored) {
    zone(0, 50000, {{"passive", 0}, {"active", -273200}, {"hot", 2147483647}});
    EXPECT_EQ(level(), 0);
    setTemp(0, "garbage");
    zone(1, 30000, {{"critical", 4000}, {"passive", 1}});
    EXPECT_EQ(level(), 0) << "trips below 20 °C are placeholders";
    zone(2, 999999999, {{"hot", 85000}});
    EXPECT_EQ(level(), 0) << "a zone reading 1000000 °C is broken";
    setTemp(1, "");
    cooling(0, "Processor", 5, 0);
    cooling(1, "Processor", -3, 10);
    root.write("cooling_device2/type", "Processor\n");
    root.write("cooling_device2/cur_state", "x\n");
    EXPECT_EQ(level(), 0);
    EXPECT_EQ(ThermalReadings::read(root / "nowhere").level(), ThermalReadings::kUnknownLevel);
}

TEST_F(ThermalTree, HysteresisHoldsALevelUntilTwoDegreesClear) {
    std::vector<std::pair<std::string, long>> trips{{"passive", 90000}};
    zone(0, 90000, trips);
    int current = SysfsThermalLevelSource::nextLevel(0, ThermalReadings::read(root.path()));
    EXPECT_EQ(current, 2);
    zone(0, 88500, trips);
    current = SysfsThermalLevelSource::nextLevel(current, ThermalReadings::read(root.path()));
    EXPECT_EQ(current, 2) << "1.5 °C below the trip still counts as hot";
    zone(0, 87999, trips);
    current = SysfsThermalLevelSource::nextLevel(current, ThermalReadings::read(root.path()));
    EXPECT_EQ(current, 1);
    zone(0, 60000, trips);
    EXPECT_EQ(SysfsThermalLevelSource::nextLevel(3, ThermalReadings::read(root.path())), 0)
        << "far below every trip the level falls all the way";
}

TEST_F(ThermalTree, SourcePollsEveryFiveSecondsAndNotifiesOnlyOnChange) {
    std::vector<std::pair<std::string, long>> trips{{"passive", 90000}};
    zone(0, 50000, trips);
    FakeLoop loop;
    SysfsThermalLevelSource source(loop, root.path());
    EXPECT_EQ(source.thermalState(), 0);
    int changes = 0;
    auto watch = source.watchChanges([&] { ++changes; });

    loop.fastForwardBy(5s);
    EXPECT_EQ(changes, 0);
    zone(0, 95000, trips);
    loop.fastForwardBy(4s);
    EXPECT_EQ(changes, 0);
    loop.fastForwardBy(1s);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(source.thermalState(), 2);
    loop.fastForwardBy(20s);
    EXPECT_EQ(changes, 1);

    watch.cancel();
    EXPECT_EQ(loop.pendingTimers(), 0u);
}

TEST_F(ThermalTree, MonitorOverTheSourceLogsEachChange) {
    zone(0, 50000, {{"hot", 85000}});
    FakeLoop loop;
    SysfsThermalLevelSource source(loop, root.path());
    ThermalMonitor monitor(loop, source);
    std::vector<ThermalMonitor::Level> seen;
    auto subscription = monitor.level().subscribe([&](const auto& level) { seen.push_back(level); });
    monitor.start();
    zone(0, 86000, {{"hot", 85000}});
    loop.fastForwardBy(5s);
    zone(0, 40000, {{"hot", 85000}});
    loop.fastForwardBy(5s);
    EXPECT_EQ(seen, (std::vector{ThermalMonitor::Level::critical, ThermalMonitor::Level::nominal}));
}

// A computer without a thermal zone (most virtual machines, some desktops)
// must not be called "Normal" by `vigilo status`, the status window or the
// dashboard; the menu, which shows only pressure, stays quiet.
TEST_F(ThermalTree, WithoutASensorEveryStatusSaysUnknown) {
    const struct {
        const char* name;
        std::function<void(ThermalTree&)> lay;
        const char* label;
    } cases[] = {
        {"no thermal folder", [](auto& t) { std::filesystem::remove_all(t.root.path()); }, "unknown"},
        {"an empty thermal folder", [](auto&) {}, "unknown"},
        {"only a fan cooling device", [](auto& t) { t.cooling(0, "Fan", 0, 10); }, "unknown"},
        {"a zone that cannot be read", [](auto& t) { t.setTemp(0, "garbage"); }, "unknown"},
        {"a zone at 40 \u00b0C", [](auto& t) { t.zone(0, 40000, {{"passive", 90000}}); }, "Normal"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(root.path());
        std::filesystem::create_directories(root.path());
        c.lay(*this);
        FakeLoop loop;
        SysfsThermalLevelSource source(loop, root.path());
        ThermalMonitor monitor(loop, source);
        monitor.start();

        StateFacts facts;
        facts.thermal = monitor.currentLevel();
        const ViewRow row{"Temperature", c.label};
        EXPECT_EQ(buildStatusView(facts).rows.back(), row);
        EXPECT_EQ(buildDashboardView(facts).system.front(), row);
        for (const auto& item : buildTrayMenu(facts)) EXPECT_EQ(item.text.find("Temperature"), std::string::npos);
        IPCResponse reply{.ok = true, .mode = "Awake Off", .thermal = ThermalMonitor::label(monitor.currentLevel())};
        EXPECT_NE(statusText(reply).find(std::string("Thermal:    ") + c.label + "\n"), std::string::npos)
            << statusText(reply);
    }
}

}  // namespace
}  // namespace vigilo
