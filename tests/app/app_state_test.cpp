#include "app/app_state.h"

#include <gmock/gmock.h>

#include <cmath>

#include "app_state_fixture.h"

namespace vigilo::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::Pair;

// startedAt is empty exactly when off; an end date only in timer mode; the
// published flag follows what the system holds.
void expectInvariants(AppState& state, const FakePowerManagement& power) {
    const bool off = state.mode.get().is(KeepAwakeMode::Kind::off);
    EXPECT_EQ(state.startedAt.get().has_value(), !off);
    EXPECT_EQ(state.timerExpiresAt.get().has_value(), state.mode.get().is(KeepAwakeMode::Kind::timer));
    EXPECT_EQ(state.assertionActive.get(), !power.held.empty());
}

TEST_F(AppStateTest, NinetySecondTimerRunsOutIntoOff) {
    const auto start = loop.clock().wallNow();
    EXPECT_EQ(state().mode.get(), KeepAwakeMode::off());
    expectInvariants(state(), power);
    state().startTimer(90);
    EXPECT_EQ(state().mode.get(), KeepAwakeMode::timer(start + 90s));
    EXPECT_EQ(state().timerExpiresAt.get(), start + 90s);
    EXPECT_TRUE(state().assertionActive.get());
    expectInvariants(state(), power);

    loop.fastForwardBy(89s);
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::timer));
    loop.fastForwardBy(1s);
    EXPECT_EQ(state().mode.get(), KeepAwakeMode::off());
    EXPECT_EQ(state().lastUserMessage.get(), "Timer finished \u2014 assertion released.");
    EXPECT_THAT(activityKinds(), ElementsAre("launched", "keepAwakeStarted=Timer Active", "timerFinished", "keepAwakeStopped"));
    EXPECT_THAT(notifier.posted, ElementsAre(Pair("Vigilo timer finished", "System sleep is allowed again.")));
    expectInvariants(state(), power);
}

TEST_F(AppStateTest, TimerLengthsAreClampedToBetweenNothingAndAYear) {
    const Duration year = kLongestDuration;
    const struct {
        double seconds;
        Duration length;
    } cases[] = {
        {1e10, year}, {1e300, year}, {HUGE_VAL, year}, {365 * 24 * 3600.0, year}, {365 * 24 * 3600.0 - 1, year - 1s},
        {90, 90s},    {-5, 0s},      {-HUGE_VAL, 0s},  {std::nan(""), 0s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seconds);
        const auto start = loop.clock().wallNow();
        state().startTimer(c.seconds);
        EXPECT_EQ(state().timerExpiresAt.get(), start + c.length);
        if (c.length > 1h) {
            loop.fastForwardBy(1h);  // a huge value must not fire at once
            EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::timer));
        }
        state().stop();
    }
}

TEST_F(AppStateTest, StartingOnCancelsAPendingTimer) {
    state().startTimer(60);
    state().startAlwaysOn();
    loop.fastForwardBy(10min);
    EXPECT_EQ(state().mode.get(), KeepAwakeMode::on());
    EXPECT_TRUE(notifier.posted.empty());
    EXPECT_EQ(power.held.size(), 1u);
    expectInvariants(state(), power);
}

TEST_F(AppStateTest, SuspendPastTheEndStopsAtTheFirstTurnAfterResume) {
    state().startTimer(3600);
    loop.advanceWallClock(2h);
    loop.runUntilIdle();
    EXPECT_EQ(state().mode.get(), KeepAwakeMode::off());
    EXPECT_EQ(power.held.size(), 0u);
}

TEST_F(AppStateTest, ChargingOnlyWaitsForPowerOnlyWithABattery) {
    state().startChargingOnly();
    EXPECT_TRUE(state().assertionActive.get()) << "no battery: keeps awake at once";
    EXPECT_EQ(state().lastUserMessage.get(), std::nullopt);
    state().stop();

    powerSources.setBattery(80, false);
    loop.runUntilIdle();
    state().startChargingOnly();
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::chargingOnly));
    EXPECT_FALSE(state().assertionActive.get());
    EXPECT_EQ(state().lastUserMessage.get(), "Charging Only: waiting for AC power before keeping awake.");

    powerSources.setBattery(81, true);
    loop.runUntilIdle();
    EXPECT_TRUE(state().assertionActive.get());
    EXPECT_EQ(state().lastUserMessage.get(), "Charger connected \u2014 keeping system awake.");
    powerSources.setBattery(81, false);
    loop.runUntilIdle();
    EXPECT_FALSE(state().assertionActive.get());
    EXPECT_EQ(state().lastUserMessage.get(), "Charger removed \u2014 released assertion.");
    expectInvariants(state(), power);
}

TEST_F(AppStateTest, BatteryConfirmationGuardsEveryEntryAndADeclineChangesNothing) {
    powerSources.setBattery(50, false);
    dialog.answer = false;
    state().startAlwaysOn();
    state().startTimer(60);
    state().toggleAutoWatch();
    state().runCommand("make");
    EXPECT_EQ(dialog.asked.size(), 4u);
    EXPECT_THAT(dialog.asked[0], ::testing::HasSubstr("will automatically stop below 20%"));
    EXPECT_EQ(state().mode.get(), KeepAwakeMode::off());
    EXPECT_EQ(power.held.size(), 0u);
    EXPECT_EQ(launcher.last, nullptr);
}

TEST_F(AppStateTest, AutoModeReleasesAndNotifiesOnceWhenTasksEnd) {
    settings.pushProvider.set(PushProvider::ntfy);
    settings.ntfyTopic.set("builds");
    state().toggleAutoWatch();
    EXPECT_EQ(state().lastUserMessage.get(), "Auto Mode on \u2014 keeping awake while your AI/dev tasks run.");
    EXPECT_FALSE(state().assertionActive.get());

    runProcesses({{100, "claude"}, {101, "ollama"}});
    EXPECT_TRUE(state().assertionActive.get());
    EXPECT_THAT(*state().lastUserMessage.get(), ::testing::StartsWith("Watching 2 task(s): "));

    runProcesses({});
    loop.fastForwardBy(2min);  // past the idle hold-off
    EXPECT_FALSE(state().assertionActive.get());
    EXPECT_EQ(state().lastUserMessage.get(), "All watched tasks finished \u2014 system may sleep.");
    EXPECT_THAT(notifier.posted,
                ElementsAre(Pair("All tasks finished", "Vigilo released keep-awake; your computer can sleep again.")));
    ASSERT_EQ(alerts.pushes.size(), 1u);
    EXPECT_EQ(alerts.pushes[0].ntfyTopic, "builds");

    runProcesses({});
    EXPECT_EQ(notifier.posted.size(), 1u);
    EXPECT_EQ(activityKinds().back(), "allTasksFinished");
}

TEST_F(AppStateTest, FirstEmptyReportAfterOnReleasesWithoutNotifying) {
    state().toggleAutoWatch();
    runProcesses({{100, "claude"}});
    state().stop();  // the watcher keeps its last list
    processes->processes.clear();

    state().startAlwaysOn();
    state().toggleAutoWatch();
    EXPECT_TRUE(state().assertionActive.get());  // held until the first report
    loop.runUntilIdle();
    EXPECT_FALSE(state().assertionActive.get());
    EXPECT_TRUE(notifier.posted.empty());
    state().toggleAutoWatch();
    EXPECT_EQ(state().mode.get(), KeepAwakeMode::off());
    EXPECT_EQ(state().lastUserMessage.get(), "Auto Mode off.");
}

TEST_F(AppStateTest, RefusedLockIsReportedOnlyWhenKeepAwakeWasAskedFor) {
    power.failures[AssertionKind::systemSleep] = 5;  // as with no logind and no desktop service
    state().startAlwaysOn();
    EXPECT_EQ(state().mode.get(), KeepAwakeMode::on());
    EXPECT_TRUE(state().keepAwakeFailure());
    state().startTimer(60);
    EXPECT_TRUE(state().keepAwakeFailure());
    state().stop();
    EXPECT_FALSE(state().keepAwakeFailure());

    state().toggleAutoWatch();  // nothing matched: no lock asked for yet
    EXPECT_FALSE(state().keepAwakeFailure());
    runProcesses({{100, "claude"}});
    EXPECT_TRUE(state().keepAwakeFailure());

    power.failures.clear();
    state().startAlwaysOn();
    EXPECT_FALSE(state().keepAwakeFailure());
}

TEST_F(AppStateTest, FailedCommandReportsTitleBodyAndStops) {
    state().runCommand(" \n\t ");  // blank: nothing changes
    EXPECT_EQ(state().mode.get(), KeepAwakeMode::off());
    EXPECT_EQ(launcher.last, nullptr);
    EXPECT_EQ(state().lastUserMessage.get(), std::nullopt);

    state().runCommand("  make test \n");
    EXPECT_EQ(state().lastUserMessage.get(), "Running: make test");
    ASSERT_NE(launcher.last, nullptr);
    loop.fastForwardBy(75s);
    launcher.last->finish(2);
    loop.runUntilIdle();
    EXPECT_EQ(state().mode.get(), KeepAwakeMode::off());
    EXPECT_THAT(notifier.posted, ElementsAre(Pair("Task failed \u274c", "make test (exit 2) after 1m 15s")));
    EXPECT_THAT(alerts.webhooks, ElementsAre("session_finished: Task failed \u274c | make test (exit 2) after 1m 15s"));
    EXPECT_EQ(state().lastUserMessage.get(), "make test (exit 2) after 1m 15s");
    auto& events = activity.events().get();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[1].kind, ActivityKind::taskFinished);
    EXPECT_EQ(events[1].value, 2);
    EXPECT_EQ(events[1].text, "make test");
}

TEST_F(AppStateTest, LiveStatusNamesTwoMatchesAndCountsTheRest) {
    state().toggleAutoWatch();
    EXPECT_EQ(state().liveStatus(), "Auto Mode on \u00b7 waiting for AI tasks\u2026");
    runProcesses({{1, "claude"}, {2, "codex"}, {3, "ollama"}, {4, "aider"}});
    EXPECT_THAT(state().liveStatus(), ::testing::EndsWith(" +2)"));
    EXPECT_THAT(state().liveStatus(), ::testing::StartsWith("Auto Mode \u00b7 keeping awake ("));
    state().stop();
    EXPECT_EQ(state().liveStatus(), "Idle \u00b7 your computer sleeps normally");
    state().startTimer(3725);
    EXPECT_EQ(state().liveStatus(), "Keeping awake \u00b7 1h 02m left");
}

TEST_F(AppStateTest, DisplaySleepSettingReappliesOnlyWhileHolding) {
    state();
    settings.preventDisplaySleep.set(true);
    EXPECT_EQ(power.held.size(), 0u);
    state().startAlwaysOn();
    EXPECT_EQ(power.held.size(), 2u);  // system and display
    settings.preventDisplaySleep.set(false);
    EXPECT_EQ(power.held.size(), 1u);
    EXPECT_TRUE(state().assertionActive.get());
}

TEST_F(AppStateTest, HeatIsReportedAndCriticalHeatRecordedWithoutStoppingKeepAwake) {
    state().startAlwaysOn();
    thermalSource.report(2);
    loop.runUntilIdle();
    EXPECT_EQ(state().lastUserMessage.get(), "Thermal pressure: Hot");
    EXPECT_TRUE(alerts.webhooks.empty());

    thermalSource.report(3);
    loop.runUntilIdle();
    EXPECT_EQ(state().lastUserMessage.get(), "Thermal pressure: Very hot");
    EXPECT_EQ(activityKinds().back(), "thermalCritical");
    ASSERT_EQ(watchdog.recentAlerts.get().size(), 1u);
    EXPECT_EQ(watchdog.recentAlerts.get()[0].message, "Computer is critically hot");
    EXPECT_THAT(alerts.webhooks, ElementsAre("thermal_critical: Computer is critically hot | Vigilo is backing off to "
                                             "protect your computer."));
    EXPECT_TRUE(notifier.posted.empty()) << "the watchdog does not notify about heat";
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::on));
}

TEST_F(AppStateTest, WatcherFollowsTheSettings) {
    state();
    settings.watchPatterns.set({"mytool"});
    settings.cpuThresholdPercent.set(12.5);
    settings.useGpuDetection.set(false);
    settings.gpuThresholdPercent.set(35);
    EXPECT_EQ(watcher.patterns.get(), std::vector<std::string>{"mytool"});
    EXPECT_EQ(watcher.cpuThresholdPercent.get(), 12.5);
    EXPECT_FALSE(watcher.useGpuDetection.get());
    EXPECT_EQ(watcher.gpuThresholdPercent.get(), 35);
}

TEST_F(AppStateTest, PushOnlyWhenCompletionNoticesAndAProviderAreOn) {
    state().notifyAndPush("t", "b");
    EXPECT_TRUE(alerts.pushes.empty());  // no provider
    settings.pushProvider.set(PushProvider::pushover);
    settings.notifyOnComplete.set(false);
    state().notifyAndPush("t", "b");
    EXPECT_TRUE(alerts.pushes.empty());
    settings.notifyOnComplete.set(true);
    state().notifyAndPush("t", "b");
    EXPECT_EQ(alerts.pushes.size(), 1u);
    EXPECT_EQ(notifier.posted.size(), 3u);
}

TEST(AppStateFormat, DurationTexts) {
    const std::pair<double, const char*> cases[] = {
        {59, "59s"}, {59.6, "1m 00s"}, {61, "1m 01s"}, {3725, "1h 02m"}, {-5, "0s"}};
    for (const auto& [seconds, text] : cases) EXPECT_EQ(AppState::format(seconds), text);
}

}  // namespace
}  // namespace vigilo::testing
