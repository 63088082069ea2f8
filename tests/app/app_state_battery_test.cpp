// The low-battery auto-stop and escalation as battery reports drive them.
#include <gmock/gmock.h>

#include "app/app_state.h"
#include "app_state_fixture.h"

namespace vigilo::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

struct Report {
    int level;
    bool onAC;
    std::string titles;  // the notifications this report causes, joined by ", "
};

struct EscalationCase {
    const char* name;
    bool startOn;
    int autoStop, warn, critical, forceSleep;
    std::vector<Report> reports;
    int sleeps;
};

void PrintTo(const EscalationCase& c, std::ostream* os) { *os << c.name; }

class BatteryEscalationTest : public AppStateTest, public ::testing::WithParamInterface<EscalationCase> {};

TEST_P(BatteryEscalationTest, EachStageActsOncePerDescent) {
    const auto& c = GetParam();
    settings.batteryThreshold.set(c.autoStop);
    settings.warnBatteryThreshold.set(c.warn);
    settings.criticalBatteryThreshold.set(c.critical);
    settings.forceSleepBatteryThreshold.set(c.forceSleep);
    powerSources.setBattery(90, false);
    if (c.startOn) state().startAlwaysOn();
    state();
    for (const auto& report : c.reports) {
        notifier.posted.clear();
        powerSources.setBattery(report.level, report.onAC);
        loop.runUntilIdle();
        std::string titles;
        for (const auto& [title, body] : notifier.posted) titles += (titles.empty() ? "" : ", ") + title;
        EXPECT_EQ(titles, report.titles) << "at " << report.level << "%" << (report.onAC ? " on AC" : "");
    }
    EXPECT_EQ(systemSleep.requests, c.sleeps);
    EXPECT_EQ(!power.held.empty(), state().assertionActive.get());
}

const std::string warn = "Battery low", critical = "Battery critical", stopped = "Vigilo stopped",
                  slept = "Vigilo put your computer to sleep";

INSTANTIATE_TEST_SUITE_P(
    Battery, BatteryEscalationTest,
    ::testing::Values(
        EscalationCase{"AutoStopIsStrictlyBelowTheThreshold", true, 20, 10, 5, 3,
                       {{20, false, ""}, {19, false, stopped}, {18, false, ""}}, 0},
        EscalationCase{"ThreeStagesInOrder", true, 5, 20, 15, 10,
                       {{20, false, warn}, {19, false, ""}, {15, false, critical}, {10, false, slept}}, 1},
        EscalationCase{"DefaultsOnlyAutoStop", true, 20, 10, 5, 3, {{3, false, stopped}}, 0},
        EscalationCase{"AFirstLowReportOnlyForceSleeps", true, 5, 10, 5, 10, {{8, false, slept}}, 1},
        EscalationCase{"PluggingInResetsTheStage", true, 5, 10, 5, 3,
                       {{8, false, warn}, {8, true, ""}, {8, false, warn}}, 0},
        EscalationCase{"OverlappingLimitsArePushedApart", true, 0, 5, 4, 5,
                       {{8, false, ""}, {7, false, warn}, {6, false, critical}, {5, false, slept}}, 1},
        EscalationCase{"OffModeNeverEscalates", false, 5, 20, 15, 10,
                       {{20, false, ""}, {15, false, ""}, {2, false, ""}}, 0}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(AppStateTest, BatteryReactionsCarryTheirLevelsEverywhere) {
    settings.batteryThreshold.set(20);
    powerSources.setBattery(90, false);
    state().startAlwaysOn();
    powerSources.setBattery(19, false);
    loop.runUntilIdle();
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::off));
    EXPECT_EQ(state().lastUserMessage.get(), "Vigilo stopped: battery dropped below 20%.");
    EXPECT_THAT(notifier.posted, ElementsAre(Pair("Vigilo stopped", "Battery is at 19%. Plug in to keep going.")));

    settings.batteryThreshold.set(5);
    settings.warnBatteryThreshold.set(20);
    settings.criticalBatteryThreshold.set(15);
    settings.forceSleepBatteryThreshold.set(10);
    powerSources.setBattery(90, true);
    state().startAlwaysOn();
    notifier.posted.clear();
    for (int level : {18, 14, 9}) {
        powerSources.setBattery(level, false);
        loop.runUntilIdle();
    }
    const std::string sleptBody = "Battery hit 9%. Vigilo slept the computer to avoid a sudden shutdown.";
    EXPECT_THAT(
        notifier.posted,
        ElementsAre(Pair("Battery low", "18% left. Vigilo will sleep the computer if it keeps dropping."),
                    Pair("Battery critical", "14% left. Plug in now \u2014 Vigilo is about to sleep your computer."),
                    Pair("Vigilo put your computer to sleep", sleptBody)));
    ASSERT_EQ(watchdog.recentAlerts.get().size(), 1u);
    EXPECT_EQ(watchdog.recentAlerts.get()[0].message, "Battery critical: 14%.");
    EXPECT_THAT(alerts.webhooks, ElementsAre("auto_sleep: Vigilo put your computer to sleep | " + sleptBody));
    EXPECT_EQ(state().lastUserMessage.get(), sleptBody);
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::off));
    EXPECT_EQ(power.held.size(), 0u);
    std::vector<std::pair<std::string, std::int64_t>> levels;
    for (const auto& event : activity.events().get()) {
        if (event.value) levels.emplace_back(activityKindName(event.kind), *event.value);
    }
    EXPECT_THAT(levels, ::testing::IsSupersetOf({Pair("autoStopped", 19), Pair("batteryWarn", 18),
                                                 Pair("batteryCritical", 14), Pair("batteryForceSleep", 9)}));
}

}  // namespace
}  // namespace vigilo::testing
