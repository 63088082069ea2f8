// Smart Rules and the watchdog as the controller wires them.
#include <gmock/gmock.h>

#include "app/app_state.h"
#include "app_state_fixture.h"
#include "rules/rule_engine.h"

namespace vigilo::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::Pair;

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
