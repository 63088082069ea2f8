#include "rules/rule_json.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

#include <fmt/format.h>

#include "rules/default_rules.h"
#include "rules/rule_case_json.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

using nlohmann::json;
using C = RuleCondition;
using A = RuleAction;
using namespace std::chrono_literals;

// The cases the built-in set below leaves out.
TEST(RuleJsonTest, EveryCaseHasItsStoredForm) {
    const struct {
        RuleCondition condition;
        const char* text;
    } conditions[] = {
        {C::BatteryAbove{80}, R"({"batteryAbove":{"percent":80}})"},
        {C::TemperatureAbove{90.5, 300}, R"({"temperatureAbove":{"celsius":90.5,"durationSeconds":300}})"},
        {C::OnACPower{}, R"({"onACPower":{}})"},
        {C::LidClosed{}, R"({"lidClosed":{}})"},
        {C::TimeWindow{1320, 420}, R"({"timeWindow":{"startMinutes":1320,"endMinutes":420}})"},
        {C::TimeWindow{540, 1080, kMondayToFriday},
         R"({"timeWindow":{"startMinutes":540,"endMinutes":1080,"weekdays":[1,2,3,4,5]}})"},
        {C::TimeWindow{1320, 420, weekdayBit(7)},
         R"({"timeWindow":{"startMinutes":1320,"endMinutes":420,"weekdays":[7]}})"},
        {C::RemoteSessionActive{}, R"({"remoteSessionActive":{}})"},
    };
    for (const auto& c : conditions) {
        EXPECT_EQ(conditionToJson(c.condition).dump(), c.text);
        EXPECT_EQ(conditionFromJson(json::parse(c.text)), c.condition) << c.text;
    }
    const struct {
        RuleAction action;
        const char* text;
    } actions[] = {
        {A::StartClamshell{}, R"({"startClamshell":{}})"},
        {A::StopClamshell{}, R"({"stopClamshell":{}})"},
        {A::AppendActivityLog{"hi"}, R"({"appendActivityLog":{"message":"hi"}})"},
        {A::KeepAwakeWhileHeld{}, R"({"keepAwakeWhileHeld":{}})"},
    };
    for (const auto& a : actions) {
        EXPECT_EQ(actionToJson(a.action).dump(), a.text);
        EXPECT_EQ(actionFromJson(json::parse(a.text)), a.action) << a.text;
    }
}

TEST(RuleJsonTest, LenientWhereTheFormAllows) {
    EXPECT_EQ(conditionFromJson(json::parse(R"({"batteryBelow":{"percent":10},"note":"x"})")), C(C::BatteryBelow{10}));
    EXPECT_EQ(conditionFromJson(json::parse(R"({"lidClosed":{"x":1}})")), C(C::LidClosed{}));
    // Days in any order are written in week order; all seven, or null, are every day and not written.
    const struct {
        const char* weekdays;
        const char* written;
    } windows[] = {
        {"[6,1]", R"({"timeWindow":{"startMinutes":0,"endMinutes":60,"weekdays":[1,6]}})"},
        {"[7,6,5,4,3,2,1]", R"({"timeWindow":{"startMinutes":0,"endMinutes":60}})"},
        {"null", R"({"timeWindow":{"startMinutes":0,"endMinutes":60}})"},
    };
    for (const auto& w : windows) {
        const auto text =
            fmt::format(R"({{"timeWindow":{{"startMinutes":0,"endMinutes":60,"weekdays":{}}}}})", w.weekdays);
        EXPECT_EQ(conditionToJson(conditionFromJson(json::parse(text))).dump(), w.written) << w.weekdays;
    }

    const auto rules = decodeRules(R"([{"id":"0a1b2c3d-0000-4000-8000-00000000000f","name":"n","isEnabled":false,)"
                                   R"("conditions":[],"actions":[],"cooldownSeconds":5,"isBuiltIn":false,)"
                                   R"("createdAt":0,"updatedAt":0.25,"lastTriggeredAt":null,"extra":[1]}])");
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules[0].id, "0A1B2C3D-0000-4000-8000-00000000000F");
    EXPECT_FALSE(rules[0].lastTriggeredAt);
    EXPECT_EQ(rules[0].createdAt, WallTime{std::chrono::sys_days{std::chrono::year{2001} / 1 / 1}});
    EXPECT_EQ(rules[0].updatedAt - rules[0].createdAt, 250ms);
    // Written back: upper-case id, no "lastTriggeredAt", no unknown keys.
    EXPECT_EQ(encodeRules(rules),
              R"([{"id":"0A1B2C3D-0000-4000-8000-00000000000F","name":"n","isEnabled":false,"conditions":[],)"
              R"("actions":[],"cooldownSeconds":5,"isBuiltIn":false,"createdAt":0,"updatedAt":0.25}])");
}

TEST(RuleJsonTest, DatesKeepTheirFractionThroughTheFile) {
    Rule rule = defaultRules(FakeLoop::defaultWallStart()).front();
    rule.lastTriggeredAt = FakeLoop::defaultWallStart() + 123456789ns;
    rule.createdAt = WallTime{std::chrono::sys_days{std::chrono::year{1990} / 6 / 1}} + 500ms;
    const std::string text = encodeRules({rule});
    EXPECT_NE(text.find(R"("lastTriggeredAt":789296400.1234568)"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("createdAt":-334108799.5)"), std::string::npos) << text;
    const auto decoded = decodeRules(text);
    ASSERT_EQ(decoded.size(), 1u);
    EXPECT_EQ(encodeRules(decoded), text);
    EXPECT_LT(std::chrono::abs(*decoded[0].lastTriggeredAt - *rule.lastTriggeredAt), 1us);
}

// The built-in set is the reference example of the file's form.
TEST(RuleJsonTest, BuiltInSetRoundTripsByteForByte) {
    const std::string reference = std::string("[") +
        R"({"id":"00000000-0000-4000-8000-000000000001","name":"Claude Code → keep awake + AI cooling","isEnabled":true,"conditions":[{"processRunning":{"pattern":"claude"}}],"actions":[{"startKeepAwake":{}},{"setCoolingPreset":{"_0":"aiWorkload"}}],"cooldownSeconds":300,"isBuiltIn":true,"createdAt":789296400,"updatedAt":789296400},)"
        R"({"id":"00000000-0000-4000-8000-000000000002","name":"Cursor → keep awake + AI cooling","isEnabled":true,"conditions":[{"processRunning":{"pattern":"cursor"}}],"actions":[{"startKeepAwake":{}},{"setCoolingPreset":{"_0":"aiWorkload"}}],"cooldownSeconds":300,"isBuiltIn":true,"createdAt":789296400,"updatedAt":789296400},)"
        R"({"id":"00000000-0000-4000-8000-000000000003","name":"Docker → keep awake + balanced cooling","isEnabled":true,"conditions":[{"processRunning":{"pattern":"docker"}}],"actions":[{"startKeepAwake":{}},{"setCoolingPreset":{"_0":"balanced"}}],"cooldownSeconds":300,"isBuiltIn":true,"createdAt":789296400,"updatedAt":789296400},)"
        R"({"id":"00000000-0000-4000-8000-000000000004","name":"Ollama → keep awake + AI cooling","isEnabled":true,"conditions":[{"processRunning":{"pattern":"ollama"}}],"actions":[{"startKeepAwake":{}},{"setCoolingPreset":{"_0":"aiWorkload"}}],"cooldownSeconds":300,"isBuiltIn":true,"createdAt":789296400,"updatedAt":789296400},)"
        R"({"id":"00000000-0000-4000-8000-000000000005","name":"Battery < 10% → notify","isEnabled":true,"conditions":[{"batteryBelow":{"percent":10}},{"onBatteryPower":{}}],"actions":[{"notify":{"title":"Battery low","body":"Vigilo is keeping an eye on your battery."}}],"cooldownSeconds":600,"isBuiltIn":true,"createdAt":789296400,"updatedAt":789296400},)"
        R"({"id":"00000000-0000-4000-8000-000000000006","name":"Battery < 5% → sleep the computer","isEnabled":true,"conditions":[{"batteryBelow":{"percent":5}},{"onBatteryPower":{}}],"actions":[{"sleepMac":{}}],"cooldownSeconds":600,"isBuiltIn":true,"createdAt":789296400,"updatedAt":789296400},)"
        R"({"id":"00000000-0000-4000-8000-000000000007","name":"Temperature > 90°C for 5 min → max fans + notify","isEnabled":true,"conditions":[{"temperatureAbove":{"celsius":90,"durationSeconds":300}}],"actions":[{"setCoolingPreset":{"_0":"emergencyMax"}},{"notify":{"title":"Computer running hot","body":"Fans maxed. Consider easing the load."}}],"cooldownSeconds":600,"isBuiltIn":true,"createdAt":789296400,"updatedAt":789296400},)"
        R"({"id":"00000000-0000-4000-8000-000000000008","name":"Temperature > 95°C for 2 min → sleep the computer","isEnabled":true,"conditions":[{"temperatureAbove":{"celsius":95,"durationSeconds":120}}],"actions":[{"sleepMac":{}}],"cooldownSeconds":600,"isBuiltIn":true,"createdAt":789296400,"updatedAt":789296400},)"
        R"({"id":"00000000-0000-4000-8000-000000000009","name":"No AI workload for 10 min → stop keep-awake","isEnabled":true,"conditions":[{"noMatchingWorkloadFor":{"seconds":600}}],"actions":[{"stopKeepAwake":{}}],"cooldownSeconds":300,"isBuiltIn":true,"createdAt":789296400,"updatedAt":789296400})"
        "]";
    const std::vector<Rule> decoded = decodeRules(reference);
    EXPECT_EQ(encodeRules(decoded), reference);

    std::vector<Rule> builtIn = defaultRules(FakeLoop::defaultWallStart());  // 2026-01-05 09:00 UTC
    ASSERT_EQ(builtIn.size(), decoded.size());
    for (std::size_t i = 0; i < builtIn.size(); ++i) builtIn[i].id = decoded[i].id;
    EXPECT_EQ(builtIn, decoded);
}

// Older versions read every file whose rules use none of the new parts; such
// a file must come back exactly as they wrote it. One that uses them keeps them.
TEST(RuleJsonTest, FilesRoundTripByteForByteWithAndWithoutTheNewParts) {
    const std::string rule =
        R"({"id":"00000000-0000-4000-8000-00000000000A","name":"Nights","isEnabled":true,"conditions":[{"timeWindow":{"startMinutes":1320,"endMinutes":420%s}}%s],"actions":[{"startKeepAwake":{}}%s],"cooldownSeconds":300,"isBuiltIn":false,"createdAt":789296400,"updatedAt":789296400.5})";
    const auto file = [&](const char* weekdays, const char* remote, const char* held) {
        std::string text = rule;
        for (const char* part : {weekdays, remote, held}) text.replace(text.find("%s"), 2, part);
        return "[" + text + "]";
    };
    for (const std::string& text : {file("", "", ""), file(R"(,"weekdays":[5,6])", R"(,{"remoteSessionActive":{}})",
                                                           R"(,{"keepAwakeWhileHeld":{}})")}) {
        EXPECT_EQ(encodeRules(decodeRules(text)), text);
    }
}

std::function<void(json&)> weekdays(json days) {
    return [days](json& r) {
        r["conditions"][0] = {{"timeWindow", {{"startMinutes", 540}, {"endMinutes", 1080}, {"weekdays", days}}}};
    };
}

TEST(RuleJsonTest, AnyFaultFailsTheWholeList) {
    const json valid = json::parse(
        R"({"id":"00000000-0000-4000-8000-000000000001","name":"n","isEnabled":true,"conditions":[{"lidClosed":{}}],)"
        R"("actions":[{"sleepMac":{}}],"cooldownSeconds":0,"isBuiltIn":false,"createdAt":0,"updatedAt":0})");
    const struct {
        const char* what;
        std::function<void(json&)> spoil;
        const char* error;
    } cases[] = {
        {"missing key", [](json& r) { r.erase("cooldownSeconds"); }, "key 'cooldownSeconds' is missing"},
        {"null key", [](json& r) { r["isBuiltIn"] = nullptr; }, "key 'isBuiltIn' is missing"},
        {"wrong type", [](json& r) { r["isEnabled"] = "yes"; }, "key 'isEnabled': expected a boolean"},
        {"date as text", [](json& r) { r["createdAt"] = "2026-01-05T09:00:00Z"; }, "key 'createdAt': expected a number"},
        {"date out of reach", [](json& r) { r["updatedAt"] = 1e300; }, "key 'updatedAt': the date 1e+300 is out of range"},
        {"two case keys", [](json& r) { r["conditions"][0] = {{"lidClosed", json::object()}, {"onACPower", json::object()}}; },
         "'conditions'[0]: Invalid number of keys found, expected one."},
        {"no case key", [](json& r) { r["actions"][0] = {{"reboot", json::object()}}; },
         "'actions'[0]: Invalid number of keys found, expected one."},
        {"empty case", [](json& r) { r["actions"][0] = json::object(); }, "Invalid number of keys found, expected one."},
        {"case not an object", [](json& r) { r["conditions"][0] = {{"lidClosed", nullptr}}; },
         "key 'lidClosed': expected an object, found null"},
        {"unknown preset", [](json& r) { r["actions"][0] = json::parse(R"({"setCoolingPreset":{"_0":"turbo"}})"); },
         "\"turbo\" is not a cooling preset"},
        {"fraction for an integer", [](json& r) { r["conditions"][0] = json::parse(R"({"batteryBelow":{"percent":1.5}})"); },
         "expected a whole number"},
        {"integer beyond 64 bits", [](json& r) { r["cooldownSeconds"] = 9223372036854775808ull; }, "out of range"},
        {"id not a UUID", [](json& r) { r["id"] = "rule-1"; }, "key 'id': \"rule-1\" is not a UUID"},
        {"rule not an object", [](json& r) { r = 5; }, "expected an object, found number"},
        {"weekday 0", weekdays(json::array({0, 1})), "key 'weekdays': 0 is not a day"},
        {"weekday 8", weekdays(json::array({8})), "key 'weekdays': 8 is not a day"},
        {"weekday past 64 bits", weekdays(json::parse("[18446744073709551615]")), "is not a day"},
        {"weekday twice", weekdays(json::array({1, 3, 1})), "key 'weekdays': day 1 is listed twice"},
        {"weekday as text", weekdays(json::array({"1"})), "key 'weekdays': expected a whole number, found \"1\""},
        {"weekday with a fraction", weekdays(json::array({1.5})), "expected a whole number, found 1.5"},
        {"no weekdays", weekdays(json::array()), "expected 1 to 7 days, found 0"},
        {"ten thousand weekdays", weekdays(json(std::vector<int>(10000, 1))), "expected 1 to 7 days, found 10000"},
        {"weekdays not a list", weekdays("Mon-Fri"), "key 'weekdays': expected an array, found string"},
    };
    for (const auto& c : cases) {
        json spoilt = valid;
        c.spoil(spoilt);
        const std::string text = json::array({valid, spoilt}).dump();
        try {
            decodeRules(text);
            ADD_FAILURE() << c.what << ": decoded";
        } catch (const RuleDecodeError& error) {
            EXPECT_NE(std::string(error.what()).find(c.error), std::string::npos) << c.what << ": " << error.what();
            EXPECT_EQ(std::string(error.what()).rfind("rule 2: ", 0), 0u) << error.what();
        }
    }
    EXPECT_THROW(decodeRules("{}"), RuleDecodeError);
    EXPECT_THROW(decodeRules("[{]"), RuleDecodeError);
    EXPECT_THROW(decodeRules(""), RuleDecodeError);
}

}  // namespace
}  // namespace vigilo
