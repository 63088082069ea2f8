// Renders the tray's menu and windows over a fixed state and clock into
// $VIGILO_SCREENSHOT_DIR, for `make screenshots`; disabled in the suite.
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <unistd.h>

#include "tray_fixture.h"
#include "ui/qt/dashboard_window.h"
#include "ui/qt/status_card.h"
#include "ui/qt/tray.h"
#include "ui/qt/window_shelf.h"
#include "ui/qt/windows/alerts_window.h"
#include "ui/qt/windows/rules_window.h"
#include "ui/qt/windows/onboarding_window.h"
#include "ui/qt/windows/settings_window.h"
#include "ui/qt/windows/activity_window.h"
#include "ui/qt/windows/command_window.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;

class Screenshots : public testing::TrayFixture {
protected:
    // The axes' hours and the days are local: the same pictures on every machine.
    static void SetUpTestSuite() {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }

    void save(QWidget& widget, const char* name) {
        const char* folder = std::getenv("VIGILO_SCREENSHOT_DIR");
        ASSERT_NE(folder, nullptr);
        const auto path = std::filesystem::path(folder) / name;
        EXPECT_TRUE(widget.grab().save(QString::fromStdString(path.string()))) << path;
    }

    WatchMatch match(const char* name, double cpu, bool active, Duration age, double gpu = -1) {
        WatchMatch m;
        m.displayName = name;
        m.cpuPercent = cpu;
        m.gpuPercent = gpu;
        m.isActive = active;
        m.firstSeenAt = loop.clock().wallNow() - age;
        return m;
    }
};

// The dashboard's charts over a fixed day: the activity log's spans, then an
// hour of readings every 30 s.
TEST_F(Screenshots, DISABLED_TrayMenuStatusAndDashboard) {
    powerSources.setBattery(88, false);
    lid.closed = false;
    settings.watchPatterns.set({"claude", "ollama"});
    state();
    loop.holdBackgroundTasks(true);  // no scan replaces the readings published here
    const std::pair<ActivityKind, Duration> day[] = {
        {ActivityKind::keepAwakeStarted, 2h}, {ActivityKind::keepAwakeStopped, 5h},
        {ActivityKind::clamshellOn, 90min},   {ActivityKind::clamshellOff, 7h},
        {ActivityKind::ruleHoldStarted, 45min}, {ActivityKind::ruleHoldEnded, 3h},
        {ActivityKind::keepAwakeStarted, 1h},  {ActivityKind::keepAwakeStopped, 2h},
    };
    bool timer = true;
    for (const auto& [kind, after] : day) {
        if (kind == ActivityKind::keepAwakeStarted) {
            activity.record(kind, std::nullopt, timer ? "Timer Active" : "Awake On");
            timer = false;
        } else {
            activity.record(kind);
        }
        loop.advanceWallClock(after);
    }
    state().toggleAutoWatch();
    loop.runUntilIdle();

    const TrayServices services = this->services();
    WindowShelf windows(services, loop);
    for (int i = 0; i <= 120; ++i) {
        cooling.temperature().publish(63 + 8 * std::sin(i / 14.0) + (i % 7) * 0.4);
        if (i % 12 == 0) powerSources.setBattery(88 - i / 12, false);
        watcher.matches.publish({match("claude", 38 + 22 * std::sin(i / 4.0), true, 75min, 70 + 10 * std::cos(i / 6.0)),
                                 match("ollama", i % 9 == 0 ? 12 : 3, false, 12min)});
        loop.fastForwardBy(30s);
    }
    cooling.temperature().publish(71.0);
    watchdog.recentAlerts.publish({Watchdog::Alert{"1", Watchdog::Kind::agentStuck,
                                                   "claude looks stuck: no CPU activity for 30 minutes",
                                                   loop.clock().wallNow() - 5min}});
    loop.runUntilIdle();

    Tray tray(services, loop, windows, [] {});
    loop.runUntilIdle();
    tray.menu()->adjustSize();
    save(*tray.menu(), "tray-menu.png");
    save(windows.showStatus(), "status.png");
    auto& dashboard = windows.showDashboard();
    dashboard.adjustSize();
    save(dashboard, "dashboard.png");

    cooling.controlSupported().publish(true);
    cooling.fans().publish({FanController::Reading{0, 2150, 1200, 6000, 2150}});
    settings.pushProvider.set(PushProvider::ntfy);
    settings.ntfyTopic.set("vigilo-builds-7f3a");
    save(windows.showSettings(), "settings.png");
    save(windows.showOnboarding(), "onboarding.png");
}

TEST_F(Screenshots, DISABLED_RulesAndAlerts) {
    settings.smartRulesEnabled.set(true);
    rules.addCustomRule("blender");
    const auto& list = rules.rules().get();
    rules.setEnabled(list[1].id, false);
    rules.markTriggered(list[8].id, loop.clock().wallNow() - 5min);
    rules.markTriggered(list.back().id, loop.clock().wallNow() - 2h);
    webhooks.setConfig(WebhookConfig{true, "123456:AAExampleToken", "-1001234567", false, "", true,
                                     "https://hooks.slack.com/services/T000/B000/XXXX", false, ""});
    settings.pushProvider.set(PushProvider::ntfy);
    settings.ntfyTopic.set("vigilo-builds-7f3a");
    watchdog.recentAlerts.publish(
        {Watchdog::Alert{"2", Watchdog::Kind::networkLost, "Network connection lost.", loop.clock().wallNow() - 3min},
         Watchdog::Alert{"1", Watchdog::Kind::agentStuck, "claude has been idle for a while \u2014 it may be stuck.",
                         loop.clock().wallNow() - 26min}});
    loop.runUntilIdle();

    WindowShelf windows(services(), loop);
    auto& rulesWindow = windows.showRules();
    // The end of the list, where the custom rule and its delete button are.
    auto* scroll = rulesWindow.findChild<QScrollArea*>();
    scroll->widget()->adjustSize();
    scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    save(rulesWindow, "rules.png");
    save(windows.showAlerts(), "alerts.png");
}

TEST_F(Screenshots, DISABLED_ActivityAndCommand) {
    state();
    activity.record(ActivityKind::keepAwakeStarted, std::nullopt, "Auto Mode");
    loop.advanceWallClock(26h);
    activity.record(ActivityKind::batteryWarn, 15);
    loop.advanceWallClock(3h);
    activity.record(ActivityKind::agentStuck, std::nullopt, "claude looks stuck: no CPU activity for 30 minutes");
    loop.advanceWallClock(40min);

    WindowShelf windows(services(), loop);
    auto& command = windows.showCommand();
    command.field().setText(QStringLiteral("python train.py --epochs 3"));
    command.runButton().click();
    const std::string output = "epoch 1/3  loss 0.912\nepoch 2/3  loss 0.604\nepoch 3/3  loss 0.451\nsaved model.pt\n";
    ASSERT_EQ(::write(launcher.last->output[1], output.data(), output.size()), static_cast<ssize_t>(output.size()));
    loop.fastForwardBy(12min + 4s);
    launcher.last->finish(0);
    loop.runUntilIdle();
    loop.advanceWallClock(5min);
    save(windows.showActivity(), "activity.png");
    save(windows.showCommand(), "command.png");
}

}  // namespace
}  // namespace vigilo
