// How the controller reacts to what the monitors, the watcher and the
// command runner report.
#include "activity/activity_log.h"
#include "app/app_alerts.h"
#include "app/app_state.h"
#include "cli/command_runner.h"
#include "rules/rule_engine.h"
#include "safety/crash_guard.h"
#include "safety/cooling_manager.h"
#include "support/tr.h"

namespace vigilo {

void AppState::handleBatteryUpdate(const BatteryMonitor::Snapshot& snapshot) {
    if (clamshellActive.get()) c_.crashGuard.heartbeat();
    if (!ruleEngine_->holds().empty()) syncAssertions();  // rules hold nothing on a low battery
    if (!snapshot.hasBattery) return;
    const bool chargingOnly = mode.get().is(KeepAwakeMode::Kind::chargingOnly);
    if (snapshot.isOnACPower) {
        lastBatteryStage_ = BatteryStage::normal;
        if (chargingOnly && (!modeWantsAssertion_ || !assertionActive.get())) {
            applyAssertion(true);
            postUserMessage(tr("Charger connected \u2014 keeping system awake."));
        }
        return;
    }
    if (chargingOnly && modeWantsAssertion_) {
        applyAssertion(false);
        postUserMessage(tr("Charger removed \u2014 released assertion."));
    }
    if (!mode.get().is(KeepAwakeMode::Kind::off) && snapshot.level < c_.settings.batteryThreshold.get()) {
        autoStopForBattery(snapshot.level);
    }
    // With closed-lid mode on, the escalation still guards an off mode.
    if (mode.get().is(KeepAwakeMode::Kind::off) && !clamshellActive.get()) {
        lastBatteryStage_ = BatteryStage::normal;
        return;
    }
    const BatteryStage stage = batteryStage(snapshot.level);
    if (lastBatteryStage_ < stage) escalateBattery(stage, snapshot.level);
    lastBatteryStage_ = stage;
}

void AppState::handleThermal(ThermalMonitor::Level level) {
    if (level < ThermalMonitor::Level::serious) return;
    postUserMessage(trFormat("Thermal pressure: {}", tr(ThermalMonitor::label(level))));
    if (level != ThermalMonitor::Level::critical) return;
    // Keep-awake itself goes on: the heat is reported and the fans help.
    const std::string title = tr("Computer is critically hot");
    c_.activity.record(ActivityKind::thermalCritical);
    c_.watchdog.record(Watchdog::Kind::thermalCritical, title, false);
    c_.alerts.sendWebhook("thermal_critical", title, tr("Vigilo is backing off to protect your computer."));
    if (c_.settings.autoMaxFanOnCritical.get()) c_.cooling.applyIfSupported(FanPreset::emergencyMax);
    dropClamshellForHeat();
}

void AppState::handleWatch(const std::vector<std::string>& names) {
    if (!mode.get().is(KeepAwakeMode::Kind::autoWatch)) return;
    if (!names.empty()) {
        if (!modeWantsAssertion_ || !assertionActive.get()) applyAssertion(true);
        autoWatchHadTasks_ = true;
        std::string firstThree;
        for (std::size_t i = 0; i < names.size() && i < 3; ++i) firstThree += (i ? ", " : "") + names[i];
        postUserMessage(trFormat("Watching {} task(s): {}", names.size(), firstThree));
        return;
    }
    if (modeWantsAssertion_) applyAssertion(false);
    if (!autoWatchHadTasks_) return;
    autoWatchHadTasks_ = false;
    c_.activity.record(ActivityKind::allTasksFinished);
    postUserMessage(tr("All watched tasks finished \u2014 system may sleep."));
    notifyAndPush(tr("All tasks finished"), tr("Vigilo released keep-awake; your computer can sleep again."));
}

void AppState::handleRunnerFinished(std::int32_t exitCode, double seconds) {
    if (!mode.get().is(KeepAwakeMode::Kind::runCommand)) return;
    const std::string title = exitCode == 0 ? tr("Task finished \u2705") : tr("Task failed \u274c");
    const std::string& command = c_.runner.command().get();
    const std::string body = trFormat("{} (exit {}) after {}", command, exitCode, format(seconds));
    c_.activity.record(ActivityKind::taskFinished, exitCode, command);
    c_.alerts.sendWebhook("session_finished", title, body);
    notifyAndPush(title, body);
    postUserMessage(body);
    stop();
}

}  // namespace vigilo
