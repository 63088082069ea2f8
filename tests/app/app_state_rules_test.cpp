// Smart Rules and the watchdog as the controller wires them.
#include <gmock/gmock.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "activity/activity_event.h"
#include "app/app_state.h"
#include "app/why/own_keep_awake.h"
#include "app_state_fixture.h"
#include "platform/remote_sessions.h"
#include "rules/rule_engine.h"

namespace vigilo::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::Pair;
using C = RuleCondition;

struct SettableRemoteSessions final : RemoteSessions {
    bool active = false;
    int asked = 0;
    bool anyActive() override {
        ++asked;
        return active;
    }
};

// The rules' local clock reads UTC, so the loop's wall clock (Monday
// 5 January 2026, 09:00 UTC) is the time of day the windows see.
class UtcClock {
public:
    UtcClock() {
        if (const char* old = std::getenv("TZ")) previous_ = old;
        ::setenv("TZ", "UTC0", 1);
    }
    ~UtcClock() {
        if (previous_) {
            ::setenv("TZ", previous_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
    }

private:
    std::optional<std::string> previous_;
};

Rule holdingRule(const std::string& name, std::vector<RuleCondition> conditions) {
    Rule rule;
    rule.id = makeUuid();
    rule.name = name;
    rule.conditions = std::move(conditions);
    rule.actions = {RuleAction::KeepAwakeWhileHeld{}};
    return rule;
}

std::vector<std::string> holdEntries(const std::vector<std::string>& kinds) {
    std::vector<std::string> entries;
    for (const auto& kind : kinds) {
        if (kind.starts_with("ruleHold") || kind == "timerFinished") entries.push_back(kind);
    }
    return entries;
}

std::size_t heldSleepLocks(const FakePowerManagement& power) {
    return static_cast<std::size_t>(std::ranges::count_if(
        power.held, [](const auto& entry) { return entry.second == AssertionKind::systemSleep; }));
}

TEST_F(AppStateTest, ACustomRuleKeepsAwakeWhileItsProcessRunsAndOnlyWhileRulesAreOn) {
    rules.addCustomRule("blender");
    state();
    userProcesses->processes = {{42, "blender"}};
    loop.fastForwardBy(10s);
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::off)) << "Smart Rules are off by default";

    settings.smartRulesEnabled.set(true);
    loop.fastForwardBy(1s);
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::on));
    EXPECT_TRUE(state().assertionActive.get());

    settings.smartRulesEnabled.set(false);
    EXPECT_FALSE(state().ruleEngine().isRunning());
}

TEST_F(AppStateTest, AScheduleRuleHoldsWhileItsWindowIsOpenBesideTheUsersTimer) {
    UtcClock utc;
    rules.rules().publish({holdingRule("Standup", {C::TimeWindow{9 * 60 + 10, 9 * 60 + 20, weekdayBit(1)}})});
    settings.smartRulesEnabled.set(true);
    state().startTimer(15 * 60);  // the person's, 09:00 to 09:15
    const auto timerEnd = state().timerExpiresAt.get();

    loop.fastForwardBy(9min + 55s);
    EXPECT_FALSE(state().keptAwakeByRule.get());
    loop.fastForwardBy(5s);  // 09:10
    EXPECT_EQ(state().keptAwakeByRule.get(), "Standup");
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::timer));
    EXPECT_EQ(state().timerExpiresAt.get(), timerEnd);
    EXPECT_EQ(heldSleepLocks(power), 1u) << "one lock serves the timer and the rule";

    loop.fastForwardBy(5min);  // 09:15: the timer ends as set, the rule goes on
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::off));
    EXPECT_TRUE(state().assertionActive.get());
    EXPECT_EQ(heldSleepLocks(power), 1u);
    EXPECT_EQ(state().liveStatus(), "Kept awake by rule: Standup");

    loop.fastForwardBy(5min);  // 09:20
    EXPECT_FALSE(state().keptAwakeByRule.get());
    EXPECT_FALSE(state().assertionActive.get());
    EXPECT_TRUE(power.held.empty());
    EXPECT_THAT(holdEntries(activityKinds()),
                ElementsAre("ruleHoldStarted=Standup", "timerFinished", "ruleHoldEnded=Standup"));
}

TEST_F(AppStateTest, ARemoteSessionRuleNeverEndsWhatThePersonStartedAndStopsWithSmartRules) {
    SettableRemoteSessions remote;
    state().setRemoteSessions(&remote);
    settings.smartRulesEnabled.set(true);
    loop.fastForwardBy(10s);
    EXPECT_EQ(remote.asked, 0) << "asked only while a rule needs it";
    rules.rules().publish({holdingRule("SSH", {C::RemoteSessionActive{}})});
    remote.active = true;
    loop.fastForwardBy(5s);
    EXPECT_EQ(state().keptAwakeByRule.get(), "SSH");
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::off));
    EXPECT_TRUE(state().assertionActive.get());
    const auto why = ownInhibitorRowsOf(state(), 42, 1000);
    ASSERT_EQ(why.size(), 1u);
    EXPECT_EQ(why[0].why, "Kept awake by rule: SSH") << "vigilo why says it in the same words";

    state().startAlwaysOn();
    remote.active = false;
    loop.fastForwardBy(5s);
    EXPECT_FALSE(state().keptAwakeByRule.get());
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::on));
    EXPECT_TRUE(state().assertionActive.get()) << "the person's keep-awake outlives the hold";

    remote.active = true;
    loop.fastForwardBy(5s);
    state().stop();
    EXPECT_TRUE(state().assertionActive.get()) << "the person's stop leaves the rule's hold";
    settings.smartRulesEnabled.set(false);  // at once, without waiting for a tick
    EXPECT_FALSE(state().keptAwakeByRule.get());
    EXPECT_FALSE(state().assertionActive.get());
    EXPECT_TRUE(power.held.empty());
    EXPECT_THAT(holdEntries(activityKinds()), ElementsAre("ruleHoldStarted=SSH", "ruleHoldEnded=SSH",
                                                          "ruleHoldStarted=SSH", "ruleHoldEnded=SSH"));
}

// The low-battery safety net and a sleep Vigilo asks for come before any rule.
TEST_F(AppStateTest, ARulesHoldGivesWayToALowBatteryAndToASleepVigiloAsksFor) {
    SettableRemoteSessions remote;
    remote.active = true;
    settings.batteryThreshold.set(20);
    powerSources.setBattery(50, false);
    rules.rules().publish({holdingRule("SSH", {C::RemoteSessionActive{}})});
    settings.smartRulesEnabled.set(true);
    state().setRemoteSessions(&remote);
    loop.fastForwardBy(5s);
    ASSERT_TRUE(state().assertionActive.get());

    powerSources.setBattery(19, false);
    loop.runUntilIdle();
    EXPECT_FALSE(state().assertionActive.get());
    EXPECT_FALSE(state().keptAwakeByRule.get());
    powerSources.setBattery(19, true);
    loop.runUntilIdle();
    EXPECT_EQ(state().keptAwakeByRule.get(), "SSH");
    EXPECT_TRUE(state().assertionActive.get());
    state().startChargingOnly();
    powerSources.setBattery(60, false);
    loop.runUntilIdle();
    EXPECT_EQ(state().liveStatus(), "Kept awake by rule: SSH") << "charging-only waits, the rule holds";
    state().stop();

    Rule bedtime;
    bedtime.id = makeUuid();
    bedtime.name = "Bedtime";
    bedtime.actions = {RuleAction::SleepMac{}};
    bedtime.cooldownSeconds = 3600;
    rules.rules().publish({rules.rules().get()[0], bedtime});
    loop.fastForwardBy(5s);  // the hold and the sleep in one evaluation: the sleep wins
    EXPECT_EQ(systemSleep.requests, 1);
    EXPECT_TRUE(power.held.empty());
    loop.fastForwardBy(5s);  // awake again: the rule holds again
    EXPECT_EQ(state().keptAwakeByRule.get(), "SSH");
}

TEST_F(AppStateTest, TheLidCountsAsOpenUnlessItReadsClosed) {
    EXPECT_FALSE(state().ruleInputs().lidClosed) << "no lid";
    lid.closed = true;
    EXPECT_TRUE(state().ruleInputs().lidClosed);
}

TEST_F(AppStateTest, RuleActionsFollowTheMode) {
    state().startTimer(600);
    state().performRuleAction(RuleAction::StartKeepAwake{});
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::timer)) << "startKeepAwake only acts when off";
    state().performRuleAction(RuleAction::StopKeepAwake{});
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::off));

    state().startAlwaysOn();
    state().performRuleAction(RuleAction::SleepMac{});
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::off));
    EXPECT_EQ(systemSleep.requests, 1);
    EXPECT_EQ(state().lastUserMessage.get(), "A rule put the computer to sleep.");

    state().performRuleAction(RuleAction::StartClamshell{});
    EXPECT_TRUE(state().clamshellActive.get());
    state().performRuleAction(RuleAction::StopClamshell{});
    EXPECT_FALSE(state().clamshellActive.get());
    state().performRuleAction(RuleAction::AppendActivityLog{"nightly build done"});
    EXPECT_EQ(state().lastUserMessage.get(), "nightly build done");
}

TEST_F(AppStateTest, ALostNetworkIsNotifiedPushedLoggedAndSentOnce) {
    settings.pushProvider.set(PushProvider::ntfy);
    settings.ntfyTopic.set("alerts");
    state();
    network.report(false);
    network.report(true);
    loop.fastForwardBy(100s);
    network.report(false);  // within 180 s of the first: throttled

    EXPECT_THAT(notifier.posted, ElementsAre(Pair("Vigilo watchdog", "Network connection lost.")));
    ASSERT_EQ(alerts.pushes.size(), 1u);
    EXPECT_EQ(alerts.pushes[0].title, "Vigilo watchdog");
    EXPECT_THAT(alerts.webhooks, ElementsAre("networkLost: Vigilo watchdog | Network connection lost."));
    EXPECT_EQ(activityKinds().back(), "networkLost");
}

TEST_F(AppStateTest, AnIdleTaskIsReportedStuckOnceItHasBeenIdleLongEnough) {
    settings.useCpuDetection.set(true);
    settings.idleHoldoffSeconds.set(900);
    state().toggleAutoWatch();
    runProcesses({{7, "claude"}});
    loop.fastForwardBy(290s);
    EXPECT_TRUE(watchdog.recentAlerts.get().empty());
    loop.fastForwardBy(15s);
    ASSERT_EQ(watchdog.recentAlerts.get().size(), 1u);
    EXPECT_EQ(watchdog.recentAlerts.get()[0].message, "claude has been idle for a while \u2014 it may be stuck.");
    EXPECT_EQ(activityKinds().back(), "agentStuck=claude has been idle for a while \u2014 it may be stuck.");
}

}  // namespace
}  // namespace vigilo::testing
