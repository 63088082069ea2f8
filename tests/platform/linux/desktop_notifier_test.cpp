// Run by tests/integration/test_power_management.py on its private buses: a
// session bus with dbusmock's notification server ("notifications") and one
// without any ("logind").
#include "platform/linux/desktop_notifier.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "common/mockbus_scenario.h"
#include "platform/linux/sd_event_loop.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;

std::optional<bool> sendTestNotification() {
    SdEventLoop loop;
    DesktopNotifier notifier(loop);
    std::optional<bool> delivered;
    notifier.postAnswered("Vigilo", "Notifications work.", [&](bool answer) {
        delivered = answer;
        loop.quit(0);
    });
    auto giveUp = loop.startTimer(5s, [&] { loop.quit(0); });
    loop.run();
    return delivered;
}

TEST(DesktopNotifierOnNotificationServer, SaysTheTestNotificationWasDelivered) {
    if (!testing::inMockBusScenario("notifications")) GTEST_SKIP() << "needs test_power_management.py";
    EXPECT_EQ(sendTestNotification(), true);
}

TEST(DesktopNotifierWithoutServer, SaysNobodyAnswered) {
    if (!testing::inMockBusScenario("logind")) GTEST_SKIP() << "needs test_power_management.py";
    EXPECT_EQ(sendTestNotification(), false);
}

}  // namespace
}  // namespace vigilo
