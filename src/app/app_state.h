#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app_settings.h"
#include "app/keep_awake_mode.h"
#include "app/power_assertion_manager.h"
#include "alerts/watchdog.h"
#include "detection/process_watcher.h"
#include "platform/privileged_runner.h"
#include "rules/rule_action.h"
#include "rules/rule_inputs.h"
#include "safety/battery_monitor.h"
#include "safety/thermal_monitor.h"
#include "support/handle.h"
#include "support/log.h"
#include "support/loop.h"
#include "support/published.h"

namespace vigilo {

class ActivityLog;
class CommandRunner;
class ConfirmationDialog;
class CoolingManager;
class LocalNotifier;
class PowerManagement;
class AppAlerts;
class ClamshellControl;
class CrashGuard;
struct HandOverState;
class LidState;
class RemoteSessions;
class RuleEngine;
class RulesStore;
class RunningApplications;
class SystemSleep;
class UserProcessTable;

// How far the battery has fallen into the low-battery escalation; the order
// of the values is the order of the stages.
enum class BatteryStage { normal, warn, critical, forceSleep };

// Everything the controller works with, made by the application before it
// and living longer than it.
struct AppComponents {
    Loop& loop;
    AppSettings& settings;
    BatteryMonitor& battery;
    ThermalMonitor& thermal;
    ProcessWatcher& watcher;
    CommandRunner& runner;
    ActivityLog& activity;
    CoolingManager& cooling;
    AppAlerts& alerts;
    PowerManagement& power;
    ConfirmationDialog& confirmation;
    LocalNotifier& notifier;
    RulesStore& rules;
    Watchdog& watchdog;
    SystemSleep& systemSleep;
    RunningApplications& applications;
    // The rule engine's process list: only `uid`'s processes are looked at.
    std::shared_ptr<const UserProcessTable> userProcesses;
    uid_t uid;
    ClamshellControl& clamshell;
    CrashGuard& crashGuard;
    LidState& lid;
};

// The application's one controller: the only writer of the keep-awake state.
// It turns commands (menu, socket, command window) and monitor reports into
// mode changes, power assertions, short user messages, notifications and
// activity events. Main thread only.
class AppState {
public:
    inline static const std::string kAssertionReason = "Vigilo keeping system awake";

    explicit AppState(AppComponents components);
    ~AppState();
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    // Observable state; written by AppState only.
    Published<KeepAwakeMode> mode{KeepAwakeMode::off()};
    Published<bool> assertionActive{false};
    Published<bool> clamshellActive{false};
    Published<std::optional<WallTime>> startedAt;
    Published<std::optional<WallTime>> timerExpiresAt;
    Published<std::optional<std::string>> lastUserMessage;
    // The first rule (in display order) whose keepAwakeWhileHeld action
    // keeps the computer awake now; nullopt while none does (as on a
    // battery below the auto-stop threshold).
    Published<std::optional<std::string>> keptAwakeByRule;

    void startAlwaysOn();
    void startTimer(double seconds);
    void startChargingOnly();
    void toggleAutoWatch();
    void runCommand(const std::string& command);
    void stop();
    // `on` without confirmation or message (shortcuts, rule actions).
    void startKeepAwakeQuiet();
    // Runs `act` for someone who sees no dialog (a command from the MQTT
    // broker): the battery warning goes to the log and the change goes
    // ahead, as in the headless daemon.
    void actUnattended(const std::function<void()>& act);
    // At launch, once what a crashed run left is put back: Auto Mode again,
    // without asking, when the person left it on (autoModeAtLaunch) and no
    // other mode has started meanwhile.
    void resumeAutoModeAtLaunch();
    // At application end: releases every assertion and stops the monitors.
    void releaseOnTerminate();

    // Closed-lid mode: the menu's switch (asks first), the rules' quiet
    // switch-on, and the restore at quit (`done(false)` when sleep could not
    // be given back; the crash guard and the next launch finish the job).
    // A switch may wait for the privileged helper: one runs at a time, and
    // the menu's toggle and the rules do nothing meanwhile. The completions
    // run on the main thread, at once where nothing has to wait.
    void toggleClamshell();
    void enableClamshellQuiet();
    void restoreSleepBeforeQuit(std::function<void(bool restored)> done = nullptr);
    // At launch: puts back what a run that crashed in closed-lid mode left;
    // `done` once that is over.
    void recoverClamshellAtLaunch(std::function<void()> done = nullptr);

    // The hand-over from the headless instance to the tray: what this one is
    // doing, and taking it up in the other without questions or messages (the
    // person chose it already). Closed-lid mode comes after the launch's
    // repairs, the quiet way; a refusal is told as at the menu.
    HandOverState handOverState() const;
    void resumeHandedOver(const HandOverState& state);
    void resumeClosedLid();

    // A local notification and, when configured, a phone push.
    void notifyAndPush(const std::string& title, const std::string& body);

    // Smart Rules: the facts one evaluation sees, and the actions rules
    // take (the rule engine's two callbacks).
    RuleInputs ruleInputs() const;
    void performRuleAction(const RuleAction& action);
    // Runs the rule engine while the Smart Rules setting is on.
    void updateRuleEngineActive();
    // Where remoteSessionActive conditions look, asked only while an enabled
    // rule has one; none (the default) never holds. Must outlive the
    // controller.
    void setRemoteSessions(RemoteSessions* sessions) { remoteSessions_ = sessions; }
    // "Kept awake by rule: <name>" while a rule holds keep-awake.
    std::optional<std::string> ruleHoldText() const;
    // The watchdog's alerts: notification, push, activity entry, webhook.
    void handleWatchdogAlert(Watchdog::Kind kind, const std::string& message);
    // Why the computer may sleep although the mode asked to keep it awake:
    // the latest request for the system-sleep lock was refused. nullopt when
    // the lock is held or was not asked for (Auto Mode with nothing matched).
    std::optional<std::string> keepAwakeFailure() const;
    // The escalation stage of a battery level, from the three thresholds
    // pushed apart so that each stage spans at least one percent.
    BatteryStage batteryStage(int level) const;

    std::string liveStatus() const;
    std::string intentStatusText() const;
    // "1h 02m", "1m 01s", "59s".
    static std::string format(double seconds);

    AppSettings& settings() { return c_.settings; }
    BatteryMonitor& battery() { return c_.battery; }
    ThermalMonitor& thermal() { return c_.thermal; }
    ProcessWatcher& watcher() { return c_.watcher; }
    ActivityLog& activity() { return c_.activity; }
    const Clock& clock() const { return c_.loop.clock(); }
    RuleEngine& ruleEngine() { return *ruleEngine_; }
    CoolingManager& cooling() { return c_.cooling; }
    CommandRunner& runner() { return c_.runner; }
    Watchdog& watchdog() { return c_.watchdog; }
    LidState& lid() { return c_.lid; }
    Loop& loop() { return c_.loop; }

private:
    bool confirmBatteryIfNeeded();
    void enter(KeepAwakeMode newMode);
    void setMode(KeepAwakeMode newMode);
    void startAutoWatch();
    // Auto Mode without a word to the person: the launch and the hand-over.
    void enterAutoWatch();
    // Monitors, the timer, the command runner and Smart Rules change the
    // mode for the system, not for the person: what they do leaves the
    // choice the next launch resumes alone. Their callbacks run through here.
    void actForSystem(const std::function<void()>& act);
    // What the mode wants; the locks are held while it or a rule wants them.
    void applyAssertion(bool active);
    void syncAssertions();
    void updateAssertionActive();
    void handleRuleHold(const std::string& ruleName, bool started);
    void releaseRuleHoldsForSleep();
    void reapplyAssertionIfNeeded();
    void scheduleTimer(WallTime fireAt);
    void timerExpired();
    void copyWatcherSettings();
    void subscribe();

    void handleBatteryUpdate(const BatteryMonitor::Snapshot& snapshot);
    void autoStopForBattery(int level);
    void escalateBattery(BatteryStage stage, int level);
    void forceSleepForBattery(int level);
    void handleThermal(ThermalMonitor::Level level);
    void handleWatch(const std::vector<std::string>& names);
    void checkForStuckTasks(const std::vector<ProcessWatcher::Match>& matches);
    void handleRunnerFinished(std::int32_t exitCode, double seconds);

    // Only the person's own toggle may bring up a password prompt.
    void tearDownClamshell(Consent consent = Consent::withoutAsking, std::function<void(bool)> done = nullptr);
    void switchClamshell(bool on, Consent consent, std::function<void(bool)> done);
    bool confirmClamshellWarning();
    void clamshellSwitchedOn();
    void dropClamshellForHeat();

    void postUserMessage(const std::string& text);
    void postLocalNotification(const std::string& title, const std::string& body);

    AppComponents c_;
    PowerAssertionManager assertions_;
    std::unique_ptr<RuleEngine> ruleEngine_;
    Logger log_{"AppState"};
    Handle timer_;
    std::vector<Handle> subscriptions_;
    bool autoWatchHadTasks_ = false;
    // The mode's own want of the keep-awake locks, apart from rules' holds.
    bool modeWantsAssertion_ = false;
    RemoteSessions* remoteSessions_ = nullptr;
    int systemActs_ = 0;  // callbacks of actForSystem under way
    int unattendedActs_ = 0;  // callbacks of actUnattended under way
    // Each stage acts once per descent; back to normal on AC power and in stop().
    BatteryStage lastBatteryStage_ = BatteryStage::normal;
    // A closed-lid switch under way, and the token its answer checks.
    bool clamshellSwitching_ = false;
    LifeToken clamshellLife_;
};

}  // namespace vigilo
