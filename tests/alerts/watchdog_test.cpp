#include "alerts/watchdog.h"

#include <gtest/gtest.h>

#include "common/log_capture.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;
using Kind = Watchdog::Kind;

// A network monitor the test flips by hand; it forwards every reading, so
// the watchdog's own de-duplication is what is tested.
class ScriptedNetwork final : public NetworkMonitor {
public:
    Handle start(std::function<void(bool)> onChange) override {
        ++starts;
        listener = std::move(onChange);
        return Handle([this] { listener = nullptr; });
    }
    void report(bool up) {
        if (listener) listener(up);
    }
    std::function<void(bool)> listener;
    int starts = 0;
};

struct WatchdogTest : ::testing::Test {
    WatchdogTest() {
        watchdog.onAlert = [this](Kind kind, const std::string& message) { handled.emplace_back(kind, message); };
    }
    std::vector<Kind> recordedKinds() const {
        std::vector<Kind> kinds;
        for (const auto& alert : watchdog.recentAlerts.get()) kinds.push_back(alert.kind);
        return kinds;
    }

    FakeLoop loop;
    ScriptedNetwork network;
    Watchdog watchdog{loop, network};
    std::vector<std::pair<Kind, std::string>> handled;
};

TEST_F(WatchdogTest, DisabledRecordsAndCallsNothingAndDoesNotFollowTheNetwork) {
    watchdog.record(Kind::agentStuck, "claude has been idle", true);
    EXPECT_TRUE(watchdog.recentAlerts.get().empty());
    EXPECT_TRUE(handled.empty());
    EXPECT_EQ(network.starts, 0);
}

TEST_F(WatchdogTest, ThrottlesPerKindOnly) {
    testing::LogCapture log;
    watchdog.setEnabled(true);
    watchdog.record(Kind::networkLost, "Network connection lost.", true);  // t = 0: recorded
    watchdog.record(Kind::thermalCritical, "Computer is critically hot", false);  // other kind: recorded
    loop.fastForwardBy(100s);
    watchdog.record(Kind::networkLost, "Network connection lost.", true);  // t = 100: dropped
    loop.fastForwardBy(80s);
    watchdog.record(Kind::networkLost, "Network connection lost.", true);  // t = 180: recorded

    EXPECT_EQ(recordedKinds(), (std::vector{Kind::networkLost, Kind::thermalCritical, Kind::networkLost}));
    // Only alerts recorded with notify reach the handler.
    EXPECT_EQ(handled.size(), 2u);
    EXPECT_TRUE(log.contains("Watchdog: Watchdog: thermalCritical — Computer is critically hot"));
    const auto& newest = watchdog.recentAlerts.get().front();
    EXPECT_EQ(newest.at, loop.clock().wallNow());
    EXPECT_EQ(newest.id.size(), 36u);
}

TEST_F(WatchdogTest, KeepsTheFiftyNewestNewestFirst) {
    watchdog.setEnabled(true);
    for (int i = 0; i < 60; ++i) {
        watchdog.record(Kind::agentStuck, "agent " + std::to_string(i), true);
        loop.fastForwardBy(Watchdog::kPerKindCooldown);
    }
    const auto& alerts = watchdog.recentAlerts.get();
    ASSERT_EQ(alerts.size(), 50u);
    EXPECT_EQ(alerts.front().message, "agent 59");
    EXPECT_EQ(alerts.back().message, "agent 10");
}

TEST_F(WatchdogTest, NetworkLossIsRecordedOnEachDownAfterUp) {
    watchdog.setEnabled(true);
    EXPECT_EQ(network.starts, 1);
    network.report(true);  // the first reading, same as assumed: nothing
    network.report(false);
    network.report(false);  // still down: nothing
    loop.fastForwardBy(200s);
    network.report(true);
    network.report(false);

    EXPECT_EQ(recordedKinds(), (std::vector{Kind::networkLost, Kind::networkLost}));
    ASSERT_EQ(handled.size(), 2u);
    EXPECT_EQ(handled[0].second, "Network connection lost.");
    EXPECT_FALSE(watchdog.networkUp.get());

    watchdog.setEnabled(false);
    EXPECT_FALSE(network.listener) << "switching off stops following the network";
}

}  // namespace
}  // namespace vigilo
