#include "platform/linux/power/linux_power_management.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "common/log_capture.h"
#include "platform/linux/power/logind_locks.h"
#include "platform/linux/scoped_env.h"

// The cases on a mock bus run when tests/integration/test_power_management.py
// starts the private buses and names its scenario in VIGILO_MOCKBUS_SCENARIO;
// otherwise they skip. The cases without a bus run everywhere.
namespace vigilo {
namespace {

using namespace std::chrono_literals;
using Row = std::tuple<std::string, std::string, std::uint32_t>;

constexpr const char* kReason = "vigilo: make -j8";

// A second client on the private buses that looks at what the mocks hold.
class BusObserver {
public:
    std::vector<LogindInhibitor> logind() {
        dbus::BusError error;
        if (!system_) system_ = dbus::openBus(dbus::BusKind::system, error);
        auto rows = system_ ? listLogindInhibitors(system_.get(), 3s, error) : std::nullopt;
        EXPECT_TRUE(rows) << error.cause;
        return rows.value_or(std::vector<LogindInhibitor>{});
    }

    // The desktop mocks notice a vanished caller when they get round to it.
    template <class Fetch>
    static auto settledAt(std::size_t count, Fetch fetch) {
        const auto deadline = std::chrono::steady_clock::now() + 3s;
        auto rows = fetch();
        while (rows.size() != count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(5ms);
            rows = fetch();
        }
        return rows;
    }
    std::vector<LogindInhibitor> logindSettledAt(std::size_t count) { return testing::logindLocksSettledAt(count); }

    // The held inhibitors of a mock from tests/integration/templates.
    std::vector<Row> desktop(const char* name, const char* path) { return testRows(name, path, "GetInhibitors"); }
    std::vector<Row> history(const char* name, const char* path) { return testRows(name, path, "GetInhibitHistory"); }

private:
    std::vector<Row> testRows(const char* name, const char* path, const char* method) {
        dbus::BusError error;
        if (!session_) session_ = dbus::openBus(dbus::BusKind::session, error);
        std::vector<Row> rows;
        dbus::MessagePtr reply =
            session_ ? dbus::callMethod(session_.get(), {name, path, "com.vigilo.Test", method}, 3s, error, nullptr)
                     : nullptr;
        EXPECT_TRUE(reply) << error.cause;
        if (!reply) return rows;
        sd_bus_message_enter_container(reply.get(), SD_BUS_TYPE_ARRAY, "(ssu)");
        const char *first, *second;
        std::uint32_t number;
        while (sd_bus_message_read(reply.get(), "(ssu)", &first, &second, &number) > 0)
            rows.emplace_back(first, second, number);
        return rows;
    }

    dbus::BusPtr system_;
    dbus::BusPtr session_;
};

constexpr const char* kGnome = "org.gnome.SessionManager";
constexpr const char* kGnomePath = "/org/gnome/SessionManager";
constexpr const char* kKde = "org.freedesktop.PowerManagement";
constexpr const char* kKdePath = "/org/freedesktop/PowerManagement/Inhibit";
constexpr const char* kScreenSaver = "org.freedesktop.ScreenSaver";
constexpr const char* kScreenSaverPath = "/org/freedesktop/ScreenSaver";

bool isIdleBlockLock(const LogindInhibitor& lock, const std::string& why) {
    return lock.what == "idle" && lock.who == "Vigilo" && lock.why == why && lock.mode == "block";
}

template <const char* Scenario>
class OnMockBus : public ::testing::Test {
protected:
    void SetUp() override {
        const char* scenario = std::getenv("VIGILO_MOCKBUS_SCENARIO");
        if (!scenario || std::string(scenario) != Scenario)
            GTEST_SKIP() << "needs the private bus scenario \"" << Scenario
                         << "\" of tests/integration/test_power_management.py";
    }

    BusObserver observer;
};

constexpr char kLogindScenario[] = "logind";
constexpr char kBareScenario[] = "bare";
constexpr char kGnomeScenario[] = "gnome";
constexpr char kOldGnomeScenario[] = "gnome-sleep-lock";
constexpr char kKdeScenario[] = "kde";
constexpr char kHangingGnomeScenario[] = "gnome-hangs";
using LinuxPowerManagementOnLogind = OnMockBus<kLogindScenario>;
using LinuxPowerManagementOnBareBus = OnMockBus<kBareScenario>;
using LinuxPowerManagementOnGnome = OnMockBus<kGnomeScenario>;
using LinuxPowerManagementOnOldGnome = OnMockBus<kOldGnomeScenario>;
using LinuxPowerManagementOnKde = OnMockBus<kKdeScenario>;
using LinuxPowerManagementOnHangingGnome = OnMockBus<kHangingGnomeScenario>;

TEST_F(LinuxPowerManagementOnLogind, EachAssertionHoldsItsOwnIdleBlockLockUntilReleasedOrDestroyed) {
    std::optional<LinuxPowerManagement> power(std::in_place);
    AssertionId system = 0, display = 0;
    ASSERT_EQ(power->createAssertion(AssertionKind::systemSleep, kReason, system), 0);
    EXPECT_NE(system, 0u);
    auto locks = observer.logind();
    ASSERT_EQ(locks.size(), 1u);
    EXPECT_TRUE(isIdleBlockLock(locks[0], kReason)) << locks[0].what << " " << locks[0].who;

    ASSERT_EQ(power->createAssertion(AssertionKind::displaySleep, "disp", display), 0);
    EXPECT_NE(system, display);
    locks = observer.logind();
    ASSERT_EQ(locks.size(), 2u);
    EXPECT_TRUE(isIdleBlockLock(locks[1], "disp")) << "the display is kept on by an idle lock too";

    EXPECT_EQ(power->releaseAssertion(display), 0);
    locks = observer.logindSettledAt(1);
    ASSERT_EQ(locks.size(), 1u);
    EXPECT_TRUE(isIdleBlockLock(locks[0], kReason)) << "only the display lock went";
    EXPECT_NE(power->releaseAssertion(display), 0) << "a released id is unknown";
    power.reset();
    EXPECT_TRUE(observer.logindSettledAt(0).empty()) << "destruction releases the rest";
}

TEST_F(LinuxPowerManagementOnBareBus, FailsAtOnceWhenLogindIsNotThere) {
    testing::LogCapture capture;
    LinuxPowerManagement power;
    AssertionId id = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NE(power.createAssertion(AssertionKind::systemSleep, kReason, id), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << "no waiting for a service to start";
    EXPECT_EQ(id, 0u);
    auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("PowerAssertion: error: Could not keep the system awake for \"vigilo: make -j8\": "
                            "logind: org.freedesktop.DBus.Error.NameHasNoOwner"),
              std::string::npos)
        << lines[0];
}

TEST_F(LinuxPowerManagementOnGnome, UsesSuspendFlagForSystemIdleFlagForDisplayAndUninhibitsOnRelease) {
    std::optional<LinuxPowerManagement> power(std::in_place);
    AssertionId system = 0, display = 0;
    ASSERT_EQ(power->createAssertion(AssertionKind::systemSleep, "sys", system), 0);
    ASSERT_EQ(power->createAssertion(AssertionKind::displaySleep, "disp", display), 0);
    EXPECT_EQ(observer.desktop(kGnome, kGnomePath),
              (std::vector<Row>{{"Vigilo", "sys", 4u}, {"Vigilo", "disp", 8u}}));
    EXPECT_EQ(observer.logind().size(), 2u) << "logind's idle locks are taken as well";

    EXPECT_EQ(power->releaseAssertion(system), 0);
    EXPECT_EQ(observer.desktop(kGnome, kGnomePath), (std::vector<Row>{{"Vigilo", "disp", 8u}}));
    power.reset();
    EXPECT_TRUE(observer.desktop(kGnome, kGnomePath).empty()) << "destruction uninhibits the rest";
    EXPECT_TRUE(observer.logindSettledAt(0).empty());
}

// Takes both kinds and ends the process without releasing anything.
[[noreturn]] void holdBothKindsAndDie() {
    LinuxPowerManagement power;
    AssertionId system = 0;
    AssertionId display = 0;
    const bool held = power.createAssertion(AssertionKind::systemSleep, "a", system) == 0 &&
                      power.createAssertion(AssertionKind::displaySleep, "b", display) == 0;
    std::_Exit(held ? 0 : 1);
}

TEST_F(LinuxPowerManagementOnGnome, ACrashReleasesEverything) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(holdBothKindsAndDie(), ::testing::ExitedWithCode(0), "");
    auto history = observer.history(kGnome, kGnomePath);
    ASSERT_GE(history.size(), 2u);
    EXPECT_EQ(std::vector<Row>(history.end() - 2, history.end()),
              (std::vector<Row>{{"Vigilo", "a", 4u}, {"Vigilo", "b", 8u}}));
    EXPECT_TRUE(BusObserver::settledAt(0, [&] { return observer.desktop(kGnome, kGnomePath); }).empty())
        << "the desktop drops what a vanished connection held";
    EXPECT_TRUE(observer.logindSettledAt(0).empty());
}

TEST_F(LinuxPowerManagementOnHangingGnome, GivesUpAfterTheTimeOutAndKeepsTheLogindLock) {
    testing::LogCapture capture;
    LinuxPowerManagement power({.appId = "Vigilo", .callTimeout = 200ms});
    AssertionId id = 0;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(power.createAssertion(AssertionKind::displaySleep, "disp", id), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    auto locks = observer.logind();
    ASSERT_EQ(locks.size(), 1u);
    EXPECT_TRUE(isIdleBlockLock(locks[0], "disp"));
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"PowerAssertion: error: Keeping the system awake for "
                                                         "\"disp\" with less than the session offers: "
                                                         "GNOME session: Inhibit timed out"}));
    EXPECT_EQ(power.releaseAssertion(id), 0) << "nothing was held on the session bus";
    EXPECT_TRUE(observer.logindSettledAt(0).empty());
}

TEST_F(LinuxPowerManagementOnOldGnome, SwitchesToTheIdleFlagWhenSuspendBecomesASleepLock) {
    testing::LogCapture capture;
    LinuxPowerManagement power;
    AssertionId id = 0;
    ASSERT_EQ(power.createAssertion(AssertionKind::systemSleep, "sys", id), 0);
    EXPECT_EQ(observer.history(kGnome, kGnomePath), (std::vector<Row>{{"Vigilo", "sys", 4u}, {"Vigilo", "sys", 8u}}));
    EXPECT_EQ(observer.desktop(kGnome, kGnomePath), (std::vector<Row>{{"Vigilo", "sys", 8u}}));
    auto locks = observer.logindSettledAt(1);
    ASSERT_EQ(locks.size(), 1u) << "gnome-session's sleep lock is gone again";
    EXPECT_TRUE(isIdleBlockLock(locks[0], "sys"));
    EXPECT_TRUE(capture.contains("PowerAssertion: GNOME session turned the suspend inhibitor for \"sys\" into a "
                                 "sleep lock; using an idle inhibitor"));

    EXPECT_EQ(power.releaseAssertion(id), 0);
    EXPECT_TRUE(observer.desktop(kGnome, kGnomePath).empty());
    EXPECT_TRUE(observer.logindSettledAt(0).empty());
}

TEST_F(LinuxPowerManagementOnKde, SystemSleepUsesPowerManagementAndDisplaySleepTheScreenSaverWithAnIdleLock) {
    LinuxPowerManagement power;
    AssertionId system = 0, display = 0;
    ASSERT_EQ(power.createAssertion(AssertionKind::systemSleep, "sys", system), 0);
    auto held = observer.desktop(kKde, kKdePath);
    ASSERT_EQ(held.size(), 1u);
    EXPECT_EQ(std::get<0>(held[0]), "Vigilo");
    EXPECT_EQ(std::get<1>(held[0]), "sys");
    EXPECT_TRUE(observer.logind().empty()) << "KDE would read an idle lock as keep-the-screen-on";
    EXPECT_TRUE(observer.desktop(kScreenSaver, kScreenSaverPath).empty());

    ASSERT_EQ(power.createAssertion(AssertionKind::displaySleep, "disp", display), 0);
    held = observer.desktop(kScreenSaver, kScreenSaverPath);
    ASSERT_EQ(held.size(), 1u);
    EXPECT_EQ(std::get<1>(held[0]), "disp");
    auto locks = observer.logind();
    ASSERT_EQ(locks.size(), 1u);
    EXPECT_TRUE(isIdleBlockLock(locks[0], "disp"));
    EXPECT_EQ(observer.desktop(kKde, kKdePath).size(), 1u) << "nothing more for the display there";

    EXPECT_EQ(power.releaseAssertion(system), 0);
    EXPECT_TRUE(observer.desktop(kKde, kKdePath).empty());
    EXPECT_EQ(power.releaseAssertion(display), 0);
    EXPECT_TRUE(observer.desktop(kScreenSaver, kScreenSaverPath).empty());
    EXPECT_TRUE(observer.logindSettledAt(0).empty());
}

TEST(LinuxPowerManagementWithoutBus, FailsFastWithOneLogLineNamingEachCause) {
    testing::ScopedEnv noSystemBus("DBUS_SYSTEM_BUS_ADDRESS", testing::kNoSystemBus);
    testing::ScopedEnv noSessionBus("DBUS_SESSION_BUS_ADDRESS", testing::kNoSessionBus);
    testing::LogCapture capture;
    LinuxPowerManagement power;
    AssertionId id = 0;
    const auto start = std::chrono::steady_clock::now();
    const int code = power.createAssertion(AssertionKind::systemSleep, kReason, id);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_NE(code, 0);
    EXPECT_EQ(id, 0u) << "left alone on failure";
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{"PowerAssertion: error: Could not keep the system awake for "
                                        "\"vigilo: make -j8\": no session bus: No such file or directory; "
                                        "no system bus: No such file or directory"}));
}

TEST(LinuxPowerManagementWithoutBus, UnknownIdsAreRefused) {
    testing::LogCapture capture;
    LinuxPowerManagement power;
    EXPECT_NE(power.releaseAssertion(0), 0);
    EXPECT_NE(power.releaseAssertion(42), 0);
    EXPECT_TRUE(capture.contains("PowerAssertion: error: No assertion with id=42 to release"));
}

}  // namespace
}  // namespace vigilo
