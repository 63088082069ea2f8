#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "rules/rule.h"
#include "rules/rule_inputs.h"
#include "support/handle.h"
#include "support/log.h"
#include "support/loop.h"

namespace vigilo {

class RulesStore;
class UserProcessTable;

// Evaluates the Smart Rules every five seconds while active: takes the
// application's snapshot, lists the user's processes on a background task,
// then, back on the main thread, tracks for how long each enabled rule's
// conditions have held and hands the actions of every rule that fires to
// `perform`, one by one. Hold times run on the monotonic clock; cooldowns
// compare the wall clock with the stored `lastTriggeredAt`, so they carry
// over restarts. Main thread only.
//
// A rule with a keepAwakeWhileHeld action is also held: from the evaluation
// that finds it holding (its hold time passed; cooldowns play no part) to the
// first that does not, or until the engine stops or the rule is switched
// off, removed or loses that action (at once, without waiting for a tick).
// Each start and end of a hold is reported to onHoldChanged's callback.
class RuleEngine {
public:
    using Inputs = RuleInputs;
    using Snapshot = std::function<Inputs()>;
    using Perform = std::function<void(const RuleAction&)>;

    // A rule whose keepAwakeWhileHeld action is in force.
    struct Hold {
        std::string id;
        std::string name;
        bool operator==(const Hold&) const = default;
    };
    using HoldChanged = std::function<void(const Hold& hold, bool started)>;

    static constexpr Duration tickInterval = std::chrono::seconds(5);

    // `processes` is shared with the background scan, which may outlive the
    // engine by one tick; only processes owned by `uid` are looked at. The
    // store must outlive the engine. Starts inactive.
    RuleEngine(Loop& loop, RulesStore& store, std::shared_ptr<const UserProcessTable> processes, uid_t uid,
               Snapshot snapshot, Perform perform);
    RuleEngine(const RuleEngine&) = delete;
    RuleEngine& operator=(const RuleEngine&) = delete;

    // The application's switch (the Smart Rules setting): starts or stops.
    void setActive(bool active);
    bool isActive() const { return isActive_; }

    // Forgets every hold time, scans at once and then every tickInterval.
    // Rules held so far stay held until that first scan is evaluated.
    void start();
    // No more ticks, hold times forgotten, every hold ended at once. A scan
    // under way still finishes and is evaluated, but holds nothing.
    void stop();

    // The rules held now, in display order.
    const std::vector<Hold>& holds() const { return holds_; }
    // Ends every hold now, for a sleep the application asks for: the
    // evaluation under way (the rule that asked may be firing) or else the
    // next one takes none up; the one after takes up those that still hold.
    void endHolds();
    void onHoldChanged(HoldChanged changed) { onHoldChanged_ = std::move(changed); }

    bool isRunning() const { return timer_.active(); }
    bool isScanning() const { return isScanning_; }

    // The lower-cased names of the processes `uid` runs.
    static std::set<std::string> runningProcessNames(const UserProcessTable& processes, uid_t uid);

    // One evaluation of every rule against these facts, at the clocks' now.
    void evaluate(const Inputs& inputs, const std::set<std::string>& processNames);

private:
    void scan();
    bool isCoolingDown(const Rule& rule, WallTime now) const;
    void fire(const Rule& rule, WallTime now);
    // Makes `holds_` the new list, reporting the ends before the starts.
    void updateHolds(std::vector<Hold> now);
    void dropHoldsOfRulesGone(const std::vector<Rule>& rules);

    Logger log_{"RuleEngine"};
    Loop& loop_;
    RulesStore& store_;
    std::shared_ptr<const UserProcessTable> processes_;
    uid_t uid_;
    Snapshot snapshot_;
    Perform perform_;
    Handle timer_;
    bool isActive_ = false;
    bool isScanning_ = false;
    std::map<std::string, MonoTime> predicateTrueSince_;  // by rule id
    std::vector<Hold> holds_;
    HoldChanged onHoldChanged_;
    Handle rulesWatch_;
    bool holdsEnded_ = false;  // by endHolds(), for one evaluation
    LifeToken life_;
};

}  // namespace vigilo
