#include "rules/rule_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "activity/activity_event.h"
#include "common/log_capture.h"
#include "platform/user_process_table.h"
#include "rules/rules_store.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;
using C = RuleCondition;

constexpr uid_t kUser = 1000;

class TestUserProcesses final : public UserProcessTable {
public:
    std::vector<std::pair<uid_t, DetectedProcess>> processes;
    std::vector<DetectedProcess> runningAs(uid_t uid) const override {
        std::vector<DetectedProcess> own;
        for (const auto& [owner, process] : processes) {
            if (owner == uid) own.push_back(process);
        }
        return own;
    }
};

// Each rule's one action logs the rule's name, so firings can be counted by name.
Rule makeRule(const std::string& name, std::vector<RuleCondition> conditions, std::int64_t cooldownSeconds) {
    Rule rule;
    rule.id = makeUuid();
    rule.name = name;
    rule.conditions = std::move(conditions);
    rule.actions = {RuleAction::AppendActivityLog{name}};
    rule.cooldownSeconds = cooldownSeconds;
    return rule;
}

class RuleEngineTest : public ::testing::Test {
protected:
    void useRules(std::vector<Rule> rules) { store.rules().publish(std::move(rules)); }
    int fired(const std::string& name) const {
        return static_cast<int>(std::ranges::count(performed, RuleAction(RuleAction::AppendActivityLog{name})));
    }
    void start() {
        engine.setActive(true);
        loop.runUntilIdle();
    }

    FakeLoop loop;
    SerialWriter writer;
    RulesStore store{std::nullopt, loop.clock(), writer};
    std::shared_ptr<TestUserProcesses> processes = std::make_shared<TestUserProcesses>();
    RuleEngine::Inputs inputs;
    int snapshots = 0;
    std::vector<RuleAction> performed;
    testing::LogCapture log;
    RuleEngine engine{loop, store, processes, kUser,
                      [this] {
                          ++snapshots;
                          return inputs;
                      },
                      [this](const RuleAction& action) { performed.push_back(action); }};
};

TEST_F(RuleEngineTest, AHoldStartsAgainAfterOneFailedEvaluation) {
    useRules({makeRule("hot", {C::TemperatureAbove{90, 300}}, 600)});
    inputs.temperatureC = 95;
    start();                   // holds from 0 s
    loop.fastForwardBy(95s);
    inputs.temperatureC = 80;  // fails at 100 s
    loop.fastForwardBy(5s);
    inputs.temperatureC = 95;  // holds again from 105 s
    loop.fastForwardBy(300s);
    EXPECT_EQ(fired("hot"), 0);
    loop.fastForwardBy(5s);
    EXPECT_EQ(fired("hot"), 1);
    EXPECT_TRUE(log.contains("RuleEngine: Rule fired: hot"));
    // Firing does not restart the hold: the next firing waits only for the cooldown.
    loop.fastForwardBy(595s);
    EXPECT_EQ(fired("hot"), 1);
    loop.fastForwardBy(5s);
    EXPECT_EQ(fired("hot"), 2);
}

TEST_F(RuleEngineTest, CooldownsCountFromTheStoredLastFiring) {
    const WallTime now = loop.clock().wallNow();
    Rule restarted = makeRule("restarted", {}, 60);
    restarted.lastTriggeredAt = now - 30s;  // fired 30 s before a restart
    Rule future = makeRule("future", {}, 60);
    future.lastTriggeredAt = now + 24h * 365;  // the clock was set back
    useRules({makeRule("every tick", {}, 0), makeRule("once a minute", {}, 60), makeRule("once", {}, INT64_MAX),
              makeRule("never", {C::NoMatchingWorkloadFor{INT64_MAX}}, 0), restarted, future});
    start();
    loop.fastForwardBy(115s);
    EXPECT_EQ(fired("every tick"), 24);
    EXPECT_EQ(fired("once a minute"), 2);  // at 0 and 60 s
    EXPECT_EQ(fired("once"), 1);
    EXPECT_EQ(fired("never"), 0);
    EXPECT_EQ(fired("restarted"), 2);  // at 30 and 90 s
    EXPECT_EQ(fired("future"), 2);     // at 0 and 60 s
    EXPECT_EQ(store.rules().get()[1].lastTriggeredAt, now + 60s);
}

TEST_F(RuleEngineTest, ADisabledRuleKeepsItsHoldAndAnInactiveEngineForgetsAll) {
    useRules({makeRule("idle", {C::NoMatchingWorkloadFor{120}}, 0)});
    start();
    loop.fastForwardBy(60s);
    store.setEnabled(store.rules().get()[0].id, false);
    loop.fastForwardBy(100s);
    EXPECT_EQ(fired("idle"), 0);
    store.setEnabled(store.rules().get()[0].id, true);
    loop.fastForwardBy(5s);  // measured from 0 s, not from now
    EXPECT_EQ(fired("idle"), 1);

    engine.setActive(false);
    performed.clear();
    loop.fastForwardBy(600s);
    EXPECT_EQ(fired("idle"), 0);
    EXPECT_FALSE(engine.isRunning());
    start();  // a fresh 120 s
    loop.fastForwardBy(115s);
    EXPECT_EQ(fired("idle"), 0);
    loop.fastForwardBy(5s);
    EXPECT_EQ(fired("idle"), 1);
}

TEST_F(RuleEngineTest, TicksAreDroppedWhileAScanRuns) {
    useRules({makeRule("always", {}, 0)});
    loop.holdBackgroundTasks(true);
    start();
    loop.fastForwardBy(20s);
    EXPECT_TRUE(engine.isScanning());
    EXPECT_EQ(snapshots, 1);
    EXPECT_EQ(loop.pendingBackgroundTasks(), 1u);
    loop.runBackgroundTasks();
    loop.runUntilIdle();
    EXPECT_FALSE(engine.isScanning());
    EXPECT_EQ(fired("always"), 1);
    loop.holdBackgroundTasks(false);
    loop.fastForwardBy(5s);
    EXPECT_EQ(snapshots, 2);
    EXPECT_EQ(fired("always"), 2);
}

// A rule that holds is held from the tick its hold time has passed to the
// first tick it fails, without a cooldown and without a firing on record;
// a scan that ends after the engine stopped takes no hold up again.
TEST_F(RuleEngineTest, HoldsFollowTheConditionsAndEndWithTheEngine) {
    Rule hot = makeRule("hot", {C::TemperatureAbove{90, 10}}, 3600);
    hot.actions = {RuleAction::KeepAwakeWhileHeld{}};
    useRules({hot});
    std::vector<std::string> changes;
    engine.onHoldChanged([&](const RuleEngine::Hold& hold, bool started) {
        changes.push_back((started ? "+" : "-") + hold.name);
    });
    inputs.temperatureC = 95;
    start();
    loop.fastForwardBy(5s);
    EXPECT_TRUE(engine.holds().empty()) << "held for 5 s of 10";
    loop.fastForwardBy(5s);
    ASSERT_EQ(engine.holds().size(), 1u);
    inputs.temperatureC = 80;
    loop.fastForwardBy(5s);
    inputs.temperatureC = 95;
    loop.fastForwardBy(15s);  // no cooldown: held again after the hold time alone
    EXPECT_EQ(changes, (std::vector<std::string>{"+hot", "-hot", "+hot"}));
    EXPECT_TRUE(performed.empty());
    EXPECT_FALSE(store.rules().get()[0].lastTriggeredAt);
    store.setEnabled(hot.id, false);  // at once, not at the next tick
    EXPECT_EQ(changes.back(), "-hot");
    store.setEnabled(hot.id, true);
    loop.fastForwardBy(5s);

    loop.holdBackgroundTasks(true);
    loop.fastForwardBy(5s);  // a scan under way
    engine.setActive(false);
    EXPECT_TRUE(engine.holds().empty());
    loop.runBackgroundTasks();
    loop.runUntilIdle();
    EXPECT_TRUE(engine.holds().empty());
    EXPECT_EQ(changes.back(), "-hot");
    EXPECT_EQ(changes.size(), 6u);
}

TEST_F(RuleEngineTest, OnlyTheUsersOwnProcessesAndApplicationsCount) {
    processes->processes = {{0, {10, "dockerd"}}, {0, {11, "ollama"}}, {kUser, {12, "Claude-Code"}}};
    inputs.appNames = {"blender"};
    inputs.watchPatterns = {"  OLLAMA", "docker"};
    useRules({makeRule("docker", {C::ProcessRunning{"docker"}}, 0), makeRule("claude", {C::ProcessRunning{"Claude "}}, 0),
              makeRule("blender", {C::ProcessRunning{"blend"}}, 0), makeRule("idle", {C::NoMatchingWorkloadFor{0}}, 0),
              makeRule("blank", {C::ProcessRunning{" \t "}}, 0), makeRule("inside", {C::ProcessRunning{"code"}}, 0),
              makeRule("longer", {C::ProcessRunning{"claude-code-x"}}, 0)});
    start();
    for (const char* none : {"docker", "blank", "inside", "longer"}) EXPECT_EQ(fired(none), 0) << none;
    EXPECT_EQ(fired("claude"), 1);
    EXPECT_EQ(fired("blender"), 1);
    EXPECT_EQ(fired("idle"), 1);  // the system's ollama is no workload of the user's

    processes->processes.push_back({kUser, {13, "ollama"}});
    performed.clear();
    loop.fastForwardBy(5s);
    EXPECT_EQ(fired("idle"), 0);
}

}  // namespace
}  // namespace vigilo
