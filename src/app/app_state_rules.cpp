// What Smart Rules and the watchdog ask of the controller: the facts a rule
// evaluation sees, the actions rules take, and the handling of alerts.
#include <algorithm>
#include <cctype>

#include "activity/activity_log.h"
#include "alerts/watchdog.h"
#include "app/app_alerts.h"
#include "app/app_state.h"
#include "detection/process_watcher.h"
#include "platform/lid_state.h"
#include "platform/remote_sessions.h"
#include "platform/running_applications.h"
#include "platform/system_sleep.h"
#include "rules/rule_engine.h"
#include "rules/rules_store.h"
#include "safety/cooling_manager.h"
#include "support/local_time.h"
#include "support/tr.h"

namespace vigilo {

namespace {

std::string lowerCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Without such a rule logind is never asked, and no connection is kept for it.
bool someRuleAsksForRemoteSessions(const std::vector<Rule>& rules) {
    return std::ranges::any_of(rules, [](const Rule& rule) {
        return rule.isEnabled && std::ranges::any_of(rule.conditions, [](const RuleCondition& condition) {
                   return std::holds_alternative<RuleCondition::RemoteSessionActive>(condition.value);
               });
    });
}

}  // namespace

RuleInputs AppState::ruleInputs() const {
    const auto battery = c_.battery.currentSnapshot();
    RuleInputs inputs;
    inputs.batteryPercent = battery.level;
    inputs.onAC = battery.isOnACPower;
    inputs.hasBattery = battery.hasBattery;
    inputs.temperatureC = c_.cooling.temperature().get();
    // No lid, or no reading, counts as open.
    inputs.lidClosed = c_.lid.isClosed().value_or(false);
    inputs.watchPatterns = c_.settings.watchPatterns.get();
    for (const auto& app : c_.applications.list()) {
        for (const auto* name : {&app.localizedName, &app.bundleIdentifier}) {
            if (!name->empty()) inputs.appNames.insert(lowerCased(*name));
        }
    }
    // Read afresh at every tick, so a change of time zone or of daylight
    // saving moves the windows with the wall clock.
    const LocalTimeOfWeek local = localTimeOfWeek(c_.loop.clock().wallNow());
    inputs.nowMinutes = local.minutes;
    inputs.nowWeekday = local.weekday;
    inputs.remoteSessionActive = remoteSessions_ && someRuleAsksForRemoteSessions(c_.rules.rules().get()) &&
                                 remoteSessions_->anyActive();
    return inputs;
}

void AppState::performRuleAction(const RuleAction& action) {
    std::visit(
        [this](const auto& a) {
            using A = std::decay_t<decltype(a)>;
            if constexpr (std::is_same_v<A, RuleAction::StartKeepAwake>) {
                if (mode.get().is(KeepAwakeMode::Kind::off)) startKeepAwakeQuiet();
            } else if constexpr (std::is_same_v<A, RuleAction::StopKeepAwake>) {
                if (!mode.get().is(KeepAwakeMode::Kind::off)) stop();
            } else if constexpr (std::is_same_v<A, RuleAction::SetCoolingPreset>) {
                c_.cooling.applyIfSupported(a.preset);
            } else if constexpr (std::is_same_v<A, RuleAction::Notify>) {
                notifyAndPush(a.title, a.body);
            } else if constexpr (std::is_same_v<A, RuleAction::SleepMac>) {
                postUserMessage(tr("A rule put the computer to sleep."));
                stop();
                releaseRuleHoldsForSleep();
                c_.systemSleep.requestSleep();
            } else if constexpr (std::is_same_v<A, RuleAction::StartClamshell>) {
                enableClamshellQuiet();
            } else if constexpr (std::is_same_v<A, RuleAction::StopClamshell>) {
                tearDownClamshell();
            } else if constexpr (std::is_same_v<A, RuleAction::AppendActivityLog>) {
                postUserMessage(a.message);
            } else if constexpr (std::is_same_v<A, RuleAction::KeepAwakeWhileHeld>) {
                // Held, not fired: the engine reports its holds to handleRuleHold.
            }
        },
        action.value);
}

// Until the next evaluation, which comes after the computer wakes unless the
// sleep was refused: Vigilo's own lock must not stand in the way of a sleep
// it asks for.
void AppState::releaseRuleHoldsForSleep() { ruleEngine_->endHolds(); }

void AppState::updateRuleEngineActive() { ruleEngine_->setActive(c_.settings.smartRulesEnabled.get()); }

// Beside the mode, never instead of it: the mode, its timer and Auto Mode
// are left as they are, and the locks stay while the mode still wants them.
void AppState::handleRuleHold(const std::string& ruleName, bool started) {
    log_.info("{} keeping the computer awake: {}", started ? "Rule started" : "Rule stopped", ruleName);
    c_.activity.record(started ? ActivityKind::ruleHoldStarted : ActivityKind::ruleHoldEnded, std::nullopt, ruleName);
    syncAssertions();
}

void AppState::checkForStuckTasks(const std::vector<ProcessWatcher::Match>& matches) {
    for (const auto& match : matches) {
        if (match.isActive || match.secondsSinceActive < c_.watchdog.stuckAfterSeconds) continue;
        c_.watchdog.record(Watchdog::Kind::agentStuck,
                           trFormat("{} has been idle for a while \u2014 it may be stuck.", match.displayName), true);
    }
}

void AppState::handleWatchdogAlert(Watchdog::Kind kind, const std::string& message) {
    const std::string title = tr("Vigilo watchdog");
    notifyAndPush(title, message);
    switch (kind) {
        case Watchdog::Kind::agentStuck: c_.activity.record(ActivityKind::agentStuck, std::nullopt, message); break;
        case Watchdog::Kind::thermalCritical: c_.activity.record(ActivityKind::thermalCritical); break;
        case Watchdog::Kind::batteryCritical:
            c_.activity.record(ActivityKind::batteryCritical, c_.battery.currentSnapshot().level);
            break;
        case Watchdog::Kind::networkLost: c_.activity.record(ActivityKind::networkLost); break;
    }
    c_.alerts.sendWebhook(std::string(watchdogKindName(kind)), title, message);
}

}  // namespace vigilo
