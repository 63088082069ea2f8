// These cases talk to python-dbusmock's upower template on a private system
// bus; tests/integration/test_upower.py sets that up and runs them with
// VIGILO_UPOWER_MOCK naming the case's scenario. Without it they skip.
#include "platform/linux/safety/upower_power_sources.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "common/temp_dir.h"
#include "platform/linux/dbus/bus.h"
#include "platform/linux/safety/linux_power_sources.h"
#include "platform/linux/sd_event_loop.h"
#include "safety/battery_monitor.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;
using Snapshot = BatteryMonitor::Snapshot;

constexpr const char* kService = "org.freedesktop.UPower";
constexpr const char* kDisplayDevice = "/org/freedesktop/UPower/devices/DisplayDevice";

bool scenario(const char* name) {
    const char* wanted = std::getenv("VIGILO_UPOWER_MOCK");
    return wanted && std::string(wanted) == name;
}

#define REQUIRE_SCENARIO(name) \
    if (!scenario(name)) GTEST_SKIP() << "needs the mock UPower bus (tests/integration/test_upower.py)"

// A second connection that plays the machine: it changes the mock's state.
struct MockUPower {
    dbus::BusError error;
    dbus::BusPtr bus = dbus::openBus(dbus::BusKind::system, error);

    void setDisplay(double percentage, std::uint32_t state) {
        auto reply = dbus::callMethod(bus.get(), {kService, "/org/freedesktop/UPower", "org.freedesktop.DBus.Mock",
                                                  "SetDeviceProperties"},
                                      2s, error, "oa{sv}", kDisplayDevice, 2, "Percentage", "d", percentage, "State",
                                      "u", state);
        ASSERT_TRUE(reply) << error.cause;
    }
    void setOnBattery(bool onBattery) {
        auto reply = dbus::callMethod(bus.get(), {kService, "/org/freedesktop/UPower", "org.freedesktop.DBus.Properties",
                                                  "Set"},
                                      2s, error, "ssv", "org.freedesktop.UPower", "OnBattery", "b", onBattery ? 1 : 0);
        ASSERT_TRUE(reply) << error.cause;
    }
};

// Runs the loop until the monitor publishes `expected` or `limit` passes.
// Returns how long it took, or nothing.
std::optional<std::chrono::steady_clock::duration> runUntil(SdEventLoop& loop, BatteryMonitor& monitor,
                                                            const Snapshot& expected, std::chrono::seconds limit) {
    const auto start = std::chrono::steady_clock::now();
    bool reached = monitor.currentSnapshot() == expected;
    auto subscription = monitor.snapshot().subscribe([&](const Snapshot& s) {
        if (s == expected) {
            reached = true;
            loop.quit();
        }
    });
    if (reached) return std::chrono::steady_clock::duration{};
    auto timeout = loop.startTimer(limit, [&] { loop.quit(); });
    loop.run();
    if (!reached) return std::nullopt;
    return std::chrono::steady_clock::now() - start;
}

TEST(UPowerOnMockBus, DisplayDeviceIsTheBattery) {
    REQUIRE_SCENARIO("discharging");
    SdEventLoop loop;
    UPowerPowerSources sources(loop);
    auto list = sources.copySources();
    ASSERT_TRUE(list);
    EXPECT_EQ(BatteryMonitor::readSnapshot(list), (Snapshot{42, false, false, true}));
}

TEST(UPowerOnMockBus, ChangeReachesTheMonitorThroughTheNotification) {
    REQUIRE_SCENARIO("discharging");
    SdEventLoop loop;
    UPowerPowerSources sources(loop);
    BatteryMonitor monitor(loop, sources);
    monitor.start();
    ASSERT_EQ(monitor.currentSnapshot(), (Snapshot{42, false, false, true}));

    MockUPower machine;
    machine.setDisplay(80.9, 1);
    machine.setOnBattery(false);
    auto took = runUntil(loop, monitor, Snapshot{80, true, true, true}, 5s);
    ASSERT_TRUE(took) << "no notification reached the monitor";
    EXPECT_LT(*took, 5s) << "the 10-second poll had not come yet";
}

TEST(UPowerOnMockBus, NoPresentBatteryMeansNoBattery) {
    REQUIRE_SCENARIO("desktop");
    SdEventLoop loop;
    UPowerPowerSources sources(loop);
    auto list = sources.copySources();
    ASSERT_TRUE(list) << "UPower answered";
    EXPECT_EQ(BatteryMonitor::readSnapshot(list), BatteryMonitor::noBattery());
}

TEST(UPowerOnMockBus, WithoutUPowerTheKernelsPowerSupplyIsRead) {
    REQUIRE_SCENARIO("no-upower");
    SdEventLoop loop;
    UPowerPowerSources upower(loop);
    EXPECT_EQ(upower.copySources(), std::nullopt);
    testing::TempDir root;
    root.write("BAT0/type", "Battery\n");
    root.write("BAT0/capacity", "57\n");
    LinuxPowerSources sources(loop, root.path());
    EXPECT_EQ(BatteryMonitor::readSnapshot(sources.copySources()), (Snapshot{57, false, false, true}));
    EXPECT_TRUE(sources.watchChanges([] {}));
}

TEST(UPowerOnMockBus, WithoutAnyBusTheKernelsPowerSupplyIsRead) {
    REQUIRE_SCENARIO("no-bus");
    SdEventLoop loop;
    UPowerPowerSources upower(loop);
    EXPECT_EQ(upower.copySources(), std::nullopt);
    EXPECT_EQ(upower.watchChanges([] {}), std::nullopt);
    testing::TempDir root;
    LinuxPowerSources sources(loop, root.path());
    EXPECT_EQ(BatteryMonitor::readSnapshot(sources.copySources()), BatteryMonitor::noBattery());
    auto handle = sources.watchChanges([] {});
    ASSERT_TRUE(handle) << "the poll stands in for the notification";
}

}  // namespace
}  // namespace vigilo
