#include "rules/rule_templates.h"

#include <gtest/gtest.h>

#include "rules/rule_json.h"
#include "rules/rules_store.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

using C = RuleCondition;
using A = RuleAction;
using namespace std::chrono_literals;

TEST(RuleTemplatesTest, TheWindowsTemplatesMakeRulesThatHold) {
    const WallTime now = FakeLoop::defaultWallStart();
    const WeekdaySet weekend = weekdayBit(6) | weekdayBit(7);
    const struct {
        Rule rule;
        const char* name;
        RuleCondition condition;
    } cases[] = {
        {scheduleRule({}, now), "Weekdays 09:00\u201318:00 \u2192 keep awake",
         C::TimeWindow{540, 1080, kMondayToFriday}},
        {scheduleRule({weekend, 600, 960}, now), "Sat, Sun 10:00\u201316:00 \u2192 keep awake",
         C::TimeWindow{600, 960, weekend}},
        {scheduleRule({0, 1320, 420}, now), "Every day 22:00\u201307:00 \u2192 keep awake", C::TimeWindow{1320, 420}},
        {remoteSessionRule(now), "Someone is logged in remotely \u2192 keep awake", C::RemoteSessionActive{}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.rule.name, c.name);
        EXPECT_EQ(c.rule.conditions, std::vector<RuleCondition>{c.condition}) << c.name;
        EXPECT_EQ(c.rule.actions, std::vector<RuleAction>{A::KeepAwakeWhileHeld{}}) << c.name;
        EXPECT_TRUE(c.rule.isEnabled && !c.rule.isBuiltIn && c.rule.cooldownSeconds == 0) << c.name;
        EXPECT_EQ(decodeRules(encodeRules({c.rule})), std::vector<Rule>{c.rule}) << c.name;
    }
    EXPECT_EQ(scheduleOf(cases[1].rule), (Schedule{weekend, 600, 960}));
    EXPECT_FALSE(scheduleOf(cases[3].rule));
}

// The window's "Edit" on a schedule row: the made name follows the new
// times, a name of the person's own stays, other rules are left alone.
TEST(RuleTemplatesTest, EditingAScheduleKeepsANameThePersonChose) {
    FakeLoop loop;
    SerialWriter writer;
    RulesStore store(std::nullopt, loop.clock(), writer);
    store.resetToDefaults();
    store.addRule(scheduleRule({}, loop.clock().wallNow()));
    Rule named = scheduleRule({}, loop.clock().wallNow());
    named.name = "Office";
    store.addRule(named);
    const auto builtIn = store.rules().get().front();
    loop.fastForwardBy(60s);

    const Schedule nights{weekdayBit(5), 1320, 420};
    const std::vector<Rule> before = store.rules().get();  // each change publishes a new list
    for (const auto& rule : before) store.changeSchedule(rule.id, nights);
    const auto& rules = store.rules().get();
    EXPECT_EQ(rules.front(), builtIn);
    EXPECT_EQ(rules[rules.size() - 2].name, "Fri 22:00\u201307:00 \u2192 keep awake");
    EXPECT_EQ(rules.back().name, "Office");
    EXPECT_EQ(scheduleOf(rules.back()), nights);
    EXPECT_EQ(rules.back().updatedAt, loop.clock().wallNow());
}

}  // namespace
}  // namespace vigilo
