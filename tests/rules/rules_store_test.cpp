#include "rules/rules_store.h"

#include <gtest/gtest.h>

#include "common/log_capture.h"
#include "common/temp_dir.h"
#include "rules/rule_json.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class RulesStoreTest : public ::testing::Test {
protected:
    fs::path folder() const { return dir.path() / "Vigilo"; }
    fs::path file() const { return folder() / "rules.json"; }
    std::string onDisk(RulesStore& store) {
        store.flush();
        return testing::readFile(file()).value_or("<none>");
    }

    testing::TempDir dir;
    FakeLoop loop;
    SerialWriter writer;
};

TEST_F(RulesStoreTest, FirstLaunchCreatesTheBuiltInRulesInOrder) {
    RulesStore store(folder(), loop.clock(), writer);
    const auto& rules = store.rules().get();
    ASSERT_EQ(rules.size(), 9u);
    EXPECT_EQ(rules.front().name, "Claude Code \u2192 keep awake + AI cooling");
    EXPECT_EQ(rules.back().name, "No AI workload for 10 min \u2192 stop keep-awake");
    EXPECT_TRUE(std::ranges::all_of(rules, &Rule::isBuiltIn));
    EXPECT_EQ(decodeRules(onDisk(store)), rules);

    RulesStore memoryOnly(std::nullopt, loop.clock(), writer);
    EXPECT_EQ(memoryOnly.rules().get().size(), 9u);
}

TEST_F(RulesStoreTest, AnEmptyListStaysEmptyAndTheFileUntouched) {
    dir.write("Vigilo/rules.json", "[ ]");
    RulesStore store(folder(), loop.clock(), writer);
    EXPECT_TRUE(store.rules().get().empty());
    EXPECT_EQ(onDisk(store), "[ ]");
}

TEST_F(RulesStoreTest, AnUnreadableFileIsKeptAsBadBeforeTheBuiltInSetReplacesIt) {
    const std::string twoCaseKeys =
        R"([{"id":"00000000-0000-4000-8000-000000000001","name":"mine","isEnabled":true,)"
        R"("conditions":[{"lidClosed":{},"onACPower":{}}],"actions":[],"cooldownSeconds":0,)"
        R"("isBuiltIn":false,"createdAt":0,"updatedAt":0}])";
    const std::string dayEight =
        R"([{"id":"00000000-0000-4000-8000-000000000001","name":"mine","isEnabled":true,)"
        R"("conditions":[{"timeWindow":{"startMinutes":540,"endMinutes":1080,"weekdays":[1,8]}}],)"
        R"("actions":[{"keepAwakeWhileHeld":{}}],"cooldownSeconds":0,"isBuiltIn":false,"createdAt":0,"updatedAt":0}])";
    for (const std::string& contents : {twoCaseKeys, dayEight, std::string("\xff not json")}) {
        dir.write("Vigilo/rules.json.bad", "an older one");
        dir.write("Vigilo/rules.json", contents);
        testing::LogCapture log;
        RulesStore store(folder(), loop.clock(), writer);
        EXPECT_EQ(store.rules().get().size(), 9u);
        EXPECT_EQ(testing::readFile(folder() / "rules.json.bad"), contents);
        EXPECT_EQ(decodeRules(onDisk(store)), store.rules().get());
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_NE(log.lines()[0].find("Rules: error: Rules file unreadable"), std::string::npos) << log.lines()[0];
    }
    // Not a file at all: kept aside the same way.
    fs::remove(file());
    fs::create_directories(file() / "inside");
    fs::remove(folder() / "rules.json.bad");
    testing::LogCapture log;
    RulesStore store(folder(), loop.clock(), writer);
    EXPECT_TRUE(fs::is_directory(folder() / "rules.json.bad" / "inside"));
    EXPECT_EQ(decodeRules(onDisk(store)).size(), 9u);
}

TEST_F(RulesStoreTest, AddDeleteSwitchAndReset) {
    RulesStore store(folder(), loop.clock(), writer);
    store.addCustomRule(" Blender\t");
    store.addCustomRule(" \t ");
    auto rules = store.rules().get();
    ASSERT_EQ(rules.size(), 10u);
    const Rule& added = rules.back();
    EXPECT_EQ(added.name, "blender \u2192 keep awake + AI cooling");
    EXPECT_EQ(added.conditions, std::vector<RuleCondition>{RuleCondition::ProcessRunning{"blender"}});
    EXPECT_EQ(added.actions, (std::vector<RuleAction>{RuleAction::StartKeepAwake{},
                                                       RuleAction::SetCoolingPreset{FanPreset::aiWorkload}}));
    EXPECT_EQ(added.cooldownSeconds, 300);
    EXPECT_FALSE(added.isBuiltIn);
    EXPECT_EQ(decodeRules(onDisk(store)), rules);

    store.setEnabled(rules[2].id, false);
    EXPECT_FALSE(store.rules().get()[2].isEnabled);
    store.deleteRules({0, 9, 42});  // a built-in rule, the custom one, and nothing
    rules = store.rules().get();
    ASSERT_EQ(rules.size(), 9u);
    EXPECT_EQ(rules[0].name, "Claude Code \u2192 keep awake + AI cooling");
    EXPECT_EQ(decodeRules(onDisk(store)), rules);

    store.addCustomRule("vllm");
    store.markTriggered(rules[0].id, loop.clock().wallNow());
    store.resetToDefaults();
    const auto& reset = store.rules().get();
    ASSERT_EQ(reset.size(), 9u);
    EXPECT_TRUE(std::ranges::none_of(reset, [](const Rule& r) { return r.lastTriggeredAt.has_value(); }));
    EXPECT_TRUE(std::ranges::all_of(reset, &Rule::isEnabled));
    EXPECT_NE(reset[0].id, rules[0].id);
}

TEST_F(RulesStoreTest, AFiringReachesTheFileWithTheNextChange) {
    RulesStore store(folder(), loop.clock(), writer);
    const auto rules = store.rules().get();
    store.markTriggered(rules[4].id, loop.clock().wallNow() + 1500ms);
    store.markTriggered("00000000-0000-4000-8000-00000000DEAD", loop.clock().wallNow());
    EXPECT_EQ(store.rules().get()[4].lastTriggeredAt, loop.clock().wallNow() + 1500ms);
    EXPECT_EQ(onDisk(store).find("lastTriggeredAt"), std::string::npos);

    store.setEnabled(rules[0].id, false);
    EXPECT_EQ(decodeRules(onDisk(store))[4].lastTriggeredAt, loop.clock().wallNow() + 1500ms);
}

TEST_F(RulesStoreTest, ReloadTakesTheEditedFileButKeepsFiringsAndABadEditChangesNothing) {
    RulesStore store(folder(), loop.clock(), writer);
    auto rules = store.rules().get();
    const auto fired = loop.clock().wallNow();
    store.markTriggered(rules[0].id, fired);
    store.flush();

    rules[0].name = "edited by hand";
    rules.pop_back();
    dir.write("Vigilo/rules.json", encodeRules(rules));
    ASSERT_TRUE(store.reload());
    ASSERT_EQ(store.rules().get().size(), 8u);
    EXPECT_EQ(store.rules().get()[0].name, "edited by hand");
    EXPECT_EQ(store.rules().get()[0].lastTriggeredAt, fired);

    testing::LogCapture log;
    dir.write("Vigilo/rules.json", "[{\"lidClosed\":{},\"onACPower\":{}}]");
    EXPECT_FALSE(store.reload());
    EXPECT_EQ(store.rules().get().size(), 8u);
    EXPECT_EQ(testing::readFile(file()), "[{\"lidClosed\":{},\"onACPower\":{}}]") << "a bad edit is left for repair";
    EXPECT_FALSE(log.lines().empty());
}

}  // namespace
}  // namespace vigilo
