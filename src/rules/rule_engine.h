#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

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
class RuleEngine {
public:
    using Inputs = RuleInputs;
    using Snapshot = std::function<Inputs()>;
    using Perform = std::function<void(const RuleAction&)>;

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
    void start();
    // No more ticks, hold times forgotten. A scan under way still finishes
    // and is evaluated.
    void stop();

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
    LifeToken life_;
};

}  // namespace vigilo
