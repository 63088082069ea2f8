// Run by tests/integration/test_power_management.py on its private buses:
// with dbusmock's logind ("logind") and with no logind at all ("bare").
#include "platform/linux/power/logind_system_sleep.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "common/log_capture.h"
#include "common/mockbus_scenario.h"
#include "platform/linux/sd_event_loop.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;

// Whether the mock logind was asked to Suspend (its call log, a(tsav)).
bool mockLogindSuspended() {
    dbus::BusError error;
    auto bus = dbus::openBus(dbus::BusKind::system, error);
    auto reply = bus ? dbus::callMethod(bus.get(), {"org.freedesktop.login1", "/org/freedesktop/login1",
                                                    "org.freedesktop.DBus.Mock", "GetCalls"},
                                        2s, error, "")
                     : nullptr;
    if (!reply || sd_bus_message_enter_container(reply.get(), 'a', "(tsav)") < 0) return false;
    bool suspended = false;
    while (sd_bus_message_enter_container(reply.get(), 'r', "tsav") > 0) {
        std::uint64_t when = 0;
        const char* method = nullptr;
        if (sd_bus_message_read(reply.get(), "ts", &when, &method) < 0) break;
        suspended = suspended || std::strcmp(method, "Suspend") == 0;
        sd_bus_message_skip(reply.get(), "av");
        sd_bus_message_exit_container(reply.get());
    }
    return suspended;
}

// Sends the request and lets the loop read the answer.
bool requestAndWait(testing::LogCapture& log) {
    SdEventLoop loop;
    LogindSystemSleep sleep(loop);
    const bool sent = sleep.requestSleep();
    auto end = loop.startTimer(500ms, [&] { loop.quit(); });
    loop.run();
    EXPECT_TRUE(log.contains("Sleep: Requested system sleep"));
    return sent;
}

TEST(LogindSystemSleepOnLogind, AsksLogindToSuspend) {
    if (!testing::inMockBusScenario("logind")) GTEST_SKIP() << "needs the logind scenario of test_power_management.py";
    testing::LogCapture log;
    EXPECT_TRUE(requestAndWait(log));
    EXPECT_TRUE(mockLogindSuspended());
    for (const auto& line : log.lines()) EXPECT_EQ(line.find("error"), std::string::npos) << line;
}

TEST(LogindSystemSleepOnBareBus, LogsTheRefusalThatComesBack) {
    if (!testing::inMockBusScenario("bare")) GTEST_SKIP() << "needs the bare scenario of test_power_management.py";
    testing::LogCapture log;
    EXPECT_TRUE(requestAndWait(log));
    bool refused = false;
    for (const auto& line : log.lines()) refused = refused || line.starts_with("Sleep: error: logind sleep failed: ");
    EXPECT_TRUE(refused);
}

}  // namespace
}  // namespace vigilo
