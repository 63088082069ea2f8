#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/linux/dbus/bus.h"
#include "platform/linux/scoped_env.h"

// The sd-bus layer on the private buses of tests/integration/test_power_management.py
// (scenario "logind": logind on the system bus, an empty session bus).
namespace vigilo::dbus {
namespace {

using namespace std::chrono_literals;

class DbusOnLogind : public ::testing::Test {
protected:
    void SetUp() override {
        const char* scenario = std::getenv("VIGILO_MOCKBUS_SCENARIO");
        if (!scenario || std::string(scenario) != "logind")
            GTEST_SKIP() << "needs the private bus scenario \"logind\" of tests/integration/test_power_management.py";
        bus = openBus(BusKind::system, error);
        ASSERT_TRUE(bus) << error.cause;
    }

    BusError error;
    BusPtr bus;
};

TEST_F(DbusOnLogind, ListsNamesAndAsksForOwners) {
    auto names = listNames(bus.get(), 3s, error);
    ASSERT_TRUE(names) << error.cause;
    EXPECT_NE(std::find(names->begin(), names->end(), "org.freedesktop.login1"), names->end());
    EXPECT_EQ(nameHasOwner(bus.get(), "org.freedesktop.login1", 3s, error), std::optional<bool>(true));
    EXPECT_EQ(nameHasOwner(bus.get(), "org.example.Nobody", 3s, error), std::optional<bool>(false));
    EXPECT_FALSE(error.failed());
}

TEST_F(DbusOnLogind, ErrorRepliesAndAbsentServicesComeBackAsErrors) {
    MessagePtr reply = callMethod(bus.get(), {"org.freedesktop.login1", "/org/freedesktop/login1",
                                              "org.freedesktop.login1.Manager", "NoSuchMethod"},
                                  3s, error, nullptr);
    EXPECT_FALSE(reply);
    EXPECT_EQ(error.name, "org.freedesktop.DBus.Error.UnknownMethod");
    EXPECT_NE(error.code, 0);

    BusError absent;
    const auto start = std::chrono::steady_clock::now();
    reply = callMethod(bus.get(), {"org.example.Nobody", "/", "org.example.Nobody", "Ping"}, 3s, absent, nullptr);
    EXPECT_FALSE(reply);
    EXPECT_EQ(absent.name, "org.freedesktop.DBus.Error.NameHasNoOwner") << "not started on demand";
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST(DbusWithoutBus, OpeningAMissingBusFailsAtOnce) {
    BusError error;
    BusPtr bus;
    {
        vigilo::testing::ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", vigilo::testing::kNoSessionBus);
        bus = openBus(BusKind::session, error);
    }
    EXPECT_FALSE(bus);
    EXPECT_EQ(error.cause, "no session bus: No such file or directory");
}

}  // namespace
}  // namespace vigilo::dbus
