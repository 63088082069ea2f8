#include <gtest/gtest.h>

#include "ui/dashboard_view_model.h"
#include "ui/status_view_model.h"

namespace vigilo::testing {
namespace {

using namespace std::chrono_literals;
using Level = ThermalMonitor::Level;

TEST(StatusView, RunStateDurationsAndTemperatureTones) {
    EXPECT_EQ(runStateText(KeepAwakeMode::off(), true), "Off");
    EXPECT_EQ(runStateText(KeepAwakeMode::autoWatch(), true), "Active");
    EXPECT_EQ(runStateText(KeepAwakeMode::chargingOnly(), false), "Waiting for power");
    EXPECT_EQ(runStateText(KeepAwakeMode::autoWatch(), false), "Idle \u2014 watching");
    EXPECT_EQ(runStateText(KeepAwakeMode::on(), false), "Paused");
    EXPECT_EQ(clockText(3723.5), "01:02:04");

    StateFacts facts;
    facts.now = WallTime{} + 100000s;
    facts.mode = KeepAwakeMode::timer(facts.now + 59600ms);
    facts.startedAt = facts.now - 61s;
    facts.clamshellActive = true;
    facts.battery = {.level = 15, .isCharging = false, .isOnACPower = false, .hasBattery = true};
    facts.temperature = 80.0;
    facts.fanControlSupported = true;
    facts.fans = {{.id = 0, .actual = 2450.4}};
    const auto view = buildStatusView(facts);
    EXPECT_EQ(view.icon, StateIcon::lid);
    const std::vector<ViewRow> rows{{"Power", "On battery"},
                                    {"Battery", "15%"},
                                    {"Running for", "00:01:01"},
                                    {"Time left", "00:01:00"},
                                    {"Temperature", "80\u00b0C", Tone::orange},
                                    {"Fan", "2450 rpm \u00b7 Balanced"}};
    EXPECT_EQ(view.rows, rows);
    EXPECT_EQ(view.time, "00:01:00");
    EXPECT_EQ(view.timeCaption, "left");
    EXPECT_EQ(view.battery, "15% \u00b7 On battery");
    EXPECT_EQ(view.batteryIcon, "battery-caution-symbolic");
    EXPECT_EQ(view.temperature, "80\u00b0C");
}

// The card's actions are the tray menu's for the mode; a computer without a
// sensor says "unknown", never "Normal".
TEST(StatusView, CardActionsFollowTheModeAndWorkloadsCarryTheirBars) {
    struct Case {
        KeepAwakeMode mode;
        std::vector<std::string> actions;  // "[x]" where the mode is the action's
    };
    const WallTime now = WallTime{} + 100000s;
    const Case cases[] = {
        {KeepAwakeMode::off(), {"Start", "Auto Mode", "1 Hour"}},
        {KeepAwakeMode::on(), {"Stop", "Auto Mode", "1 Hour"}},
        {KeepAwakeMode::autoWatch(), {"Stop", "[x] Auto Mode", "1 Hour"}},
        {KeepAwakeMode::timer(now + 10s), {"Stop", "Auto Mode", "[x] 1 Hour"}},
    };
    for (const auto& c : cases) {
        StateFacts facts;
        facts.now = now;
        facts.mode = c.mode;
        facts.thermal = Level::unknown;
        WatchMatch match;
        match.displayName = "claude";
        match.cpuPercent = 42;
        match.gpuPercent = 80;
        facts.matches = {match};
        const auto view = buildStatusView(facts);
        std::vector<std::string> actions;
        for (const auto& action : view.actions) actions.push_back((action.checked ? "[x] " : "") + action.text);
        EXPECT_EQ(actions, c.actions) << c.mode.shortLabel();
        EXPECT_EQ(view.temperature, "unknown");
        EXPECT_EQ(view.battery, std::nullopt);
        EXPECT_EQ(view.workloads, (std::vector<StatusWorkload>{{"claude", 42, 80, false}}));
    }
}

TEST(DashboardView, SafetyFirstRuleThatHolds) {
    struct Case {
        Level thermal;
        std::optional<double> degrees;
        BatteryMonitor::Snapshot battery;
        Safety expected;
    };
    const BatteryMonitor::Snapshot low{.level = 10, .isCharging = false, .isOnACPower = false, .hasBattery = true};
    const Case cases[] = {
        {Level::critical, 40.0, low, Safety::highThermalRisk},
        {Level::nominal, 95.0, low, Safety::highThermalRisk},
        {Level::nominal, 94.9, BatteryMonitor::noBattery(), Safety::good},
        {Level::serious, std::nullopt, low, Safety::batteryRisk},
        {Level::serious, std::nullopt, {.level = 5, .isOnACPower = false, .hasBattery = false}, Safety::runningWarm},
        {Level::fair, std::nullopt, {.level = 11, .isOnACPower = false, .hasBattery = true}, Safety::good},
    };
    for (const auto& c : cases) {
        StateFacts facts;
        facts.thermal = c.thermal;
        facts.temperature = c.degrees;
        facts.battery = c.battery;
        EXPECT_EQ(classifySafety(facts), c.expected) << safetyLabel(c.expected);
    }
}

TEST(DashboardView, WorkloadsAndSystemCard) {
    EXPECT_EQ(workloadRuntimeText(3599), "59m");
    EXPECT_EQ(workloadRuntimeText(3600), "1h 00m");

    StateFacts facts;
    facts.now = WallTime{} + 100000s;
    EXPECT_FALSE(buildDashboardView(facts).noWorkloadsText.empty());
    WatchMatch idle;
    idle.displayName = "ollama";
    idle.cpuPercent = 0.4;
    idle.isActive = false;
    idle.firstSeenAt = facts.now - 125s;
    facts.matches = {idle};
    facts.thermal = Level::serious;
    const auto view = buildDashboardView(facts);
    ASSERT_EQ(view.workloads.size(), 1u);
    EXPECT_EQ(view.workloads[0].state, "Idle");
    EXPECT_EQ(view.workloads[0].stateTone, Tone::secondary);
    EXPECT_EQ(view.workloads[0].cpu, "0% CPU");
    EXPECT_EQ(view.workloads[0].gpu, "");
    EXPECT_EQ(view.workloads[0].runtime, "2m");
    const std::pair<const char*, const char*> gpuTexts[] = {{"process", "80% GPU"},
                                                            {"device", "80% GPU (whole device)"}};
    for (const auto& [source, shown] : gpuTexts) {
        idle.gpuPercent = 80;
        idle.gpuSource = source;
        StateFacts withGpu = facts;
        withGpu.matches = {idle};
        EXPECT_EQ(buildDashboardView(withGpu).workloads[0].gpu, shown);
    }
    const std::vector<ViewRow> system{{"Temperature", "Hot"},
                                      {"Battery", "\u2014"},
                                      {"Fan", "\u2014"},
                                      {"Lid", "\u2014"},
                                      {"Safety", "Running warm", Tone::orange}};
    EXPECT_EQ(view.system, system);
}

}  // namespace
}  // namespace vigilo::testing
