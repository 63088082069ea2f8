#include "app/app_state.h"

#include "activity/activity_log.h"
#include "app/app_alerts.h"
#include "cli/command_runner.h"
#include "detection/process_watcher.h"
#include "platform/confirmation_dialog.h"
#include "platform/local_notifier.h"
#include "rules/rule_engine.h"
#include "rules/rules_store.h"
#include "safety/cooling_manager.h"
#include "support/tr.h"
#include "support/utf8_text.h"

namespace vigilo {

namespace {

struct DepthScope {
    int& depth;
    explicit DepthScope(int& d) : depth(++d) {}
    ~DepthScope() { --depth; }
};

}  // namespace

void AppState::actForSystem(const std::function<void()>& act) {
    DepthScope scope(systemActs_);
    act();
}

void AppState::actUnattended(const std::function<void()>& act) {
    DepthScope scope(unattendedActs_);
    act();
}

AppState::AppState(AppComponents components) : c_(components), assertions_(components.power) {
    c_.activity.record(ActivityKind::launched);
    c_.battery.start();
    c_.thermal.start();
    c_.cooling.start();
    ruleEngine_ = std::make_unique<RuleEngine>(
        c_.loop, c_.rules, c_.userProcesses, c_.uid, [this] { return ruleInputs(); },
        [this](const RuleAction& action) { actForSystem([&] { performRuleAction(action); }); });
    c_.watchdog.onAlert = [this](Watchdog::Kind kind, const std::string& message) {
        handleWatchdogAlert(kind, message);
    };
    ruleEngine_->onHoldChanged(
        [this](const RuleEngine::Hold& hold, bool started) { handleRuleHold(hold.name, started); });
    c_.watchdog.setEnabled(true);
    subscribe();
    updateRuleEngineActive();
}

AppState::~AppState() = default;

void AppState::subscribe() {
    subscriptions_.push_back(c_.battery.snapshot().subscribe(
        [this](const auto& s) { actForSystem([&] { handleBatteryUpdate(s); }); }));
    subscriptions_.push_back(
        c_.thermal.level().subscribe([this](auto level) { actForSystem([&] { handleThermal(level); }); }));
    subscriptions_.push_back(c_.watcher.matches.subscribe([this](const auto& matches) {
        std::vector<std::string> names;
        for (const auto& match : matches) names.push_back(match.displayName);
        actForSystem([&] {
            handleWatch(names);
            checkForStuckTasks(matches);
        });
    }));
    subscriptions_.push_back(c_.settings.smartRulesEnabled.subscribe([this](bool) { updateRuleEngineActive(); }));
    c_.runner.onFinish = [this](std::int32_t code, double seconds) {
        actForSystem([&] { handleRunnerFinished(code, seconds); });
    };
    subscriptions_.push_back(c_.settings.preventDisplaySleep.subscribe([this](bool) { reapplyAssertionIfNeeded(); }));

    auto& s = c_.settings;
    auto& w = c_.watcher;
    subscriptions_.push_back(s.watchPatterns.subscribe([&w](const auto& v) { w.patterns.set(v); }));
    subscriptions_.push_back(s.useCpuDetection.subscribe([&w](bool v) { w.useCpuDetection.set(v); }));
    subscriptions_.push_back(s.cpuThresholdPercent.subscribe([&w](double v) { w.cpuThresholdPercent.set(v); }));
    subscriptions_.push_back(s.useGpuDetection.subscribe([&w](bool v) { w.useGpuDetection.set(v); }));
    subscriptions_.push_back(s.gpuThresholdPercent.subscribe([&w](double v) { w.gpuThresholdPercent.set(v); }));
    subscriptions_.push_back(s.idleHoldoffSeconds.subscribe([&w](int v) { w.idleHoldoffSeconds.set(v); }));
    copyWatcherSettings();
}

void AppState::copyWatcherSettings() {
    auto& s = c_.settings;
    c_.watcher.patterns.set(s.watchPatterns.get());
    c_.watcher.useCpuDetection.set(s.useCpuDetection.get());
    c_.watcher.cpuThresholdPercent.set(s.cpuThresholdPercent.get());
    c_.watcher.useGpuDetection.set(s.useGpuDetection.get());
    c_.watcher.gpuThresholdPercent.set(s.gpuThresholdPercent.get());
    c_.watcher.idleHoldoffSeconds.set(s.idleHoldoffSeconds.get());
}

bool AppState::confirmBatteryIfNeeded() {
    if (c_.battery.currentSnapshot().isOnACPower || !c_.settings.warnOnBattery.get()) return true;
    const auto title = tr("Running on battery");
    const auto text =
        trFormat("Keeping the system awake on battery can drain it quickly and make the computer run hot. Vigilo will "
                 "automatically stop below {}%, but plugging in is strongly recommended.",
                 c_.settings.batteryThreshold.get());
    if (unattendedActs_ > 0) {
        log_.info("{}: {}", title, text);
        return true;
    }
    return c_.confirmation.confirm(title, text, tr("Continue"), tr("Cancel"));
}

// Every mode change passes here, so this is where the person's choice is
// remembered for the next launch, whichever window, command or action made it.
void AppState::setMode(KeepAwakeMode newMode) {
    const KeepAwakeMode old = mode.get();
    mode.set(newMode);
    const bool autoMode = newMode.is(KeepAwakeMode::Kind::autoWatch);
    if (systemActs_ == 0 && c_.settings.autoModeAtLaunch.get() != autoMode) {
        c_.settings.autoModeAtLaunch.set(autoMode);
    }
    const bool wasOff = old.is(KeepAwakeMode::Kind::off);
    const bool isOff = newMode.is(KeepAwakeMode::Kind::off);
    if (wasOff && !isOff) c_.activity.record(ActivityKind::keepAwakeStarted, std::nullopt, newMode.shortLabel());
    if (!wasOff && isOff) c_.activity.record(ActivityKind::keepAwakeStopped);
}

// The steps every entry operation shares, before its own.
void AppState::enter(KeepAwakeMode newMode) {
    setMode(newMode);
    startedAt.set(c_.loop.clock().wallNow());
    timerExpiresAt.set(newMode.expiresAt());
    timer_.cancel();
}

void AppState::startAlwaysOn() {
    if (!confirmBatteryIfNeeded()) return;
    startKeepAwakeQuiet();
}

void AppState::startKeepAwakeQuiet() {
    enter(KeepAwakeMode::on());
    applyAssertion(true);
}

void AppState::startTimer(double seconds) {
    if (!confirmBatteryIfNeeded()) return;
    const WallTime expiresAt = c_.loop.clock().wallNow() + durationFromSeconds(seconds);
    enter(KeepAwakeMode::timer(expiresAt));
    applyAssertion(true);
    scheduleTimer(expiresAt);
}

void AppState::startChargingOnly() {
    enter(KeepAwakeMode::chargingOnly());
    const auto& snapshot = c_.battery.currentSnapshot();
    if (snapshot.isOnACPower) {
        applyAssertion(true);
        return;
    }
    applyAssertion(!snapshot.hasBattery);
    if (snapshot.hasBattery) postUserMessage(tr("Charging Only: waiting for AC power before keeping awake."));
}

void AppState::toggleAutoWatch() {
    if (mode.get().is(KeepAwakeMode::Kind::autoWatch)) {
        stop();
        postUserMessage(tr("Auto Mode off."));
        return;
    }
    if (!confirmBatteryIfNeeded()) return;
    startAutoWatch();
}

// Nobody is at the screen to answer a battery question at login; the
// low-battery auto-stop still applies.
void AppState::resumeAutoModeAtLaunch() {
    if (!c_.settings.autoModeAtLaunch.get() || !mode.get().is(KeepAwakeMode::Kind::off)) return;
    log_.info("Auto Mode was on when Vigilo last ran; turning it on again");
    startAutoWatch();
}

void AppState::startAutoWatch() {
    enterAutoWatch();
    postUserMessage(tr("Auto Mode on \u2014 keeping awake while your AI/dev tasks run."));
}

void AppState::enterAutoWatch() {
    enter(KeepAwakeMode::autoWatch());
    autoWatchHadTasks_ = false;
    copyWatcherSettings();
    c_.watcher.pollInterval.set(static_cast<double>(c_.settings.pollInterval.get()));
    c_.watcher.start();
}

void AppState::runCommand(const std::string& command) {
    const std::string trimmed(trimmedWhitespace(command));
    if (trimmed.empty()) return;
    if (!confirmBatteryIfNeeded()) return;
    enter(KeepAwakeMode::runCommand());
    applyAssertion(true);
    c_.runner.run(trimmed);
    postUserMessage(trFormat("Running: {}", trimmed));
}

void AppState::stop() {
    setMode(KeepAwakeMode::off());
    startedAt.set(std::nullopt);
    timerExpiresAt.set(std::nullopt);
    timer_.cancel();
    c_.watcher.stop();
    autoWatchHadTasks_ = false;
    applyAssertion(false);
    lastBatteryStage_ = BatteryStage::normal;
    tearDownClamshell();
}

void AppState::releaseOnTerminate() {
    modeWantsAssertion_ = false;
    assertions_.releaseAll();
    updateAssertionActive();
    c_.battery.stop();
    c_.thermal.stop();
    c_.cooling.stop();
    c_.watcher.stop();
    ruleEngine_->setActive(false);
    c_.watchdog.setEnabled(false);
    c_.rules.flush();
    restoreSleepBeforeQuit();
}

void AppState::applyAssertion(bool active) {
    modeWantsAssertion_ = active;
    syncAssertions();
}

// One set of locks serves the mode and the rules' holds alike: it is taken
// while either wants it and released only when neither does. On a battery
// below the auto-stop threshold rules hold nothing: the low-battery safety
// net comes first.
void AppState::syncAssertions() {
    const auto& holds = ruleEngine_->holds();
    const auto& battery = c_.battery.currentSnapshot();
    const bool batteryAllows =
        !battery.hasBattery || battery.isOnACPower || battery.level >= c_.settings.batteryThreshold.get();
    if (!holds.empty() && !batteryAllows && keptAwakeByRule.get()) {
        log_.info("Battery at {}%: rules no longer keep the computer awake", battery.level);
    }
    keptAwakeByRule.set(holds.empty() || !batteryAllows ? std::nullopt
                                                         : std::optional<std::string>(holds.front().name));
    if (modeWantsAssertion_ || keptAwakeByRule.get()) {
        assertions_.start(c_.settings.preventDisplaySleep.get(), kAssertionReason);
    } else {
        assertions_.releaseAll();
    }
    updateAssertionActive();
}

void AppState::updateAssertionActive() {
    assertionActive.set(assertions_.holdsSystemAssertion() || assertions_.holdsDisplayAssertion());
}

void AppState::reapplyAssertionIfNeeded() {
    if (!assertionActive.get()) return;
    assertions_.releaseAll();
    assertions_.start(c_.settings.preventDisplaySleep.get(), kAssertionReason);
    updateAssertionActive();
}

void AppState::scheduleTimer(WallTime fireAt) {
    // A wall-clock timer: a suspend past the end date ends the timer at the
    // first turn of the loop after resume.
    timer_ = c_.loop.startTimerAt(fireAt, [this] { actForSystem([this] { timerExpired(); }); });
}

void AppState::timerExpired() {
    log_.info("Timer expired \u2014 releasing assertion");
    c_.activity.record(ActivityKind::timerFinished);
    stop();
    postUserMessage(tr("Timer finished \u2014 assertion released."));
    notifyAndPush(tr("Vigilo timer finished"), tr("System sleep is allowed again."));
}

void AppState::postUserMessage(const std::string& text) {
    lastUserMessage.set(text);
    log_.info("{}", text);
}

// Linux has no permission prompt, and a notification server may start at
// any time: every notification is tried, and the notifier copes with none.
void AppState::postLocalNotification(const std::string& title, const std::string& body) {
    c_.notifier.post(title, body);
}

void AppState::notifyAndPush(const std::string& title, const std::string& body) {
    postLocalNotification(title, body);
    const auto& s = c_.settings;
    if (!s.notifyOnComplete.get() || s.pushProvider.get() == PushProvider::none) return;
    c_.alerts.push(PushRequest{s.pushProvider.get(), s.ntfyServer.get(), s.ntfyTopic.get(), s.pushoverToken.get(),
                               s.pushoverUser.get(), title, body});
}

}  // namespace vigilo
