#include "rules/rule_engine.h"

#include <algorithm>
#include <utility>

#include "platform/user_process_table.h"
#include "rules/rule_evaluation.h"
#include "rules/rules_store.h"
#include "support/utf8_text.h"

namespace vigilo {
namespace {

double secondsBetween(auto from, auto to) { return std::chrono::duration<double>(to - from).count(); }

// In floating point: a date near either end of the clock's range must not
// overflow the subtraction.
double wallSecondsBetween(WallTime from, WallTime to) {
    return secondsBetween(std::chrono::duration<double>(from.time_since_epoch()),
                          std::chrono::duration<double>(to.time_since_epoch()));
}

bool isHeldAction(const RuleAction& action) {
    return std::holds_alternative<RuleAction::KeepAwakeWhileHeld>(action.value);
}

// A rule that only holds has nothing to fire, and no firing to record.
bool firesActions(const Rule& rule) {
    return std::ranges::any_of(rule.actions, [](const RuleAction& action) { return !isHeldAction(action); });
}

}  // namespace

RuleEngine::RuleEngine(Loop& loop, RulesStore& store, std::shared_ptr<const UserProcessTable> processes, uid_t uid,
                       Snapshot snapshot, Perform perform)
    : loop_(loop),
      store_(store),
      processes_(std::move(processes)),
      uid_(uid),
      snapshot_(std::move(snapshot)),
      perform_(std::move(perform)),
      rulesWatch_(store_.rules().subscribe([this](const std::vector<Rule>& rules) { dropHoldsOfRulesGone(rules); })) {}

void RuleEngine::setActive(bool active) {
    isActive_ = active;
    if (active) {
        start();
    } else {
        stop();
    }
}

void RuleEngine::start() {
    timer_.cancel();
    predicateTrueSince_.clear();
    timer_ = loop_.startRepeating(tickInterval, [this, alive = life_.weak()] {
        if (alive.lock()) scan();
    });
    scan();
}

void RuleEngine::stop() {
    timer_.cancel();
    predicateTrueSince_.clear();
    updateHolds({});
}

// A tick that finds the previous scan still running is dropped, not queued.
void RuleEngine::scan() {
    if (isScanning_) return;
    Inputs inputs = snapshot_();
    isScanning_ = true;
    loop_.runInBackground([processes = processes_, uid = uid_] { return runningProcessNames(*processes, uid); },
                          [this, alive = life_.weak(), inputs = std::move(inputs)](std::set<std::string> names) {
                              if (!alive.lock()) return;
                              evaluate(inputs, names);
                              isScanning_ = false;
                          });
}

std::set<std::string> RuleEngine::runningProcessNames(const UserProcessTable& processes, uid_t uid) {
    std::set<std::string> names;
    for (const DetectedProcess& process : processes.runningAs(uid)) names.insert(lowerCased(process.name));
    return names;
}

void RuleEngine::evaluate(const Inputs& inputs, const std::set<std::string>& processNames) {
    const RuleFacts facts = ruleFacts(inputs, processNames);
    const MonoTime now = loop_.clock().monotonicNow();
    const WallTime wallNow = loop_.clock().wallNow();
    // A copy: firing changes the store's list while it is walked.
    const std::vector<Rule> rules = store_.rules().get();
    std::vector<Hold> holding;
    for (const Rule& rule : rules) {
        if (!rule.isEnabled) continue;
        if (!conditionsHold(rule.conditions, facts)) {
            predicateTrueSince_.erase(rule.id);
            continue;
        }
        const MonoTime since = predicateTrueSince_.try_emplace(rule.id, now).first->second;
        const bool heldLongEnough = secondsBetween(since, now) >= static_cast<double>(rule.requiredHoldSeconds());
        if (heldLongEnough && rule.keepsAwakeWhileHeld()) holding.push_back({rule.id, rule.name});
        if (heldLongEnough && firesActions(rule) && !isCoolingDown(rule, wallNow)) fire(rule, wallNow);
    }
    // A scan that ends after Smart Rules were switched off must not take
    // the hold up again.
    if (timer_.active() && !std::exchange(holdsEnded_, false)) updateHolds(std::move(holding));
}

void RuleEngine::endHolds() {
    holdsEnded_ = true;
    updateHolds({});
}

void RuleEngine::dropHoldsOfRulesGone(const std::vector<Rule>& rules) {
    std::vector<Hold> kept;
    for (const Hold& hold : holds_) {
        auto it = std::ranges::find(rules, hold.id, &Rule::id);
        if (it != rules.end() && it->isEnabled && it->keepsAwakeWhileHeld()) kept.push_back(hold);
    }
    if (kept.size() != holds_.size()) updateHolds(std::move(kept));
}

void RuleEngine::updateHolds(std::vector<Hold> now) {
    const std::vector<Hold> before = std::exchange(holds_, std::move(now));
    if (!onHoldChanged_) return;
    const auto heldIn = [](const std::vector<Hold>& list, const Hold& hold) {
        return std::ranges::find(list, hold.id, &Hold::id) != list.end();
    };
    for (const Hold& hold : before) {
        if (!heldIn(holds_, hold)) onHoldChanged_(hold, false);
    }
    for (const Hold& hold : holds_) {
        if (!heldIn(before, hold)) onHoldChanged_(hold, true);
    }
}

// A last firing later than now (the clock was set back, or the file edited)
// does not hold the rule back: otherwise it could stay silent for years.
bool RuleEngine::isCoolingDown(const Rule& rule, WallTime now) const {
    if (!rule.lastTriggeredAt) return false;
    const double sinceLast = wallSecondsBetween(*rule.lastTriggeredAt, now);
    return sinceLast >= 0 && sinceLast < static_cast<double>(rule.cooldownSeconds);
}

void RuleEngine::fire(const Rule& rule, WallTime now) {
    log_.info("Rule fired: {}", rule.name);
    for (const RuleAction& action : rule.actions) {
        if (!isHeldAction(action)) perform_(action);
    }
    store_.markTriggered(rule.id, now);
}

}  // namespace vigilo
