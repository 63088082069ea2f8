#include "rules/rule_case_json.h"

#include <iterator>

#include <fmt/format.h>

#include "rules/overloaded.h"
#include "rules/rule_json_fields.h"

namespace vigilo {

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

template <class Names>
ordered_json caseObject(const Names& names, std::size_t index, ordered_json fields = ordered_json::object()) {
    ordered_json object = ordered_json::object();
    object[names[index]] = std::move(fields);
    return object;
}

static_assert(std::variant_size_v<RuleCondition::Case> == std::size(kConditionCaseNames));
static_assert(std::variant_size_v<RuleAction::Case> == std::size(kActionCaseNames));

FanPreset requiredPreset(const json& fields) {
    const std::string raw = requiredString(fields, "_0");
    const auto preset = fanPresetFromRaw(raw);
    if (!preset) throw RuleDecodeError(fmt::format("key '_0': \"{}\" is not a cooling preset", raw));
    return *preset;
}

}  // namespace

ordered_json conditionToJson(const RuleCondition& condition) {
    using C = RuleCondition;
    ordered_json fields = std::visit(
        Overloaded{
            [](const C::ProcessRunning& c) { return ordered_json{{"pattern", c.pattern}}; },
            [](const C::BatteryBelow& c) { return ordered_json{{"percent", c.percent}}; },
            [](const C::BatteryAbove& c) { return ordered_json{{"percent", c.percent}}; },
            [](const C::TemperatureAbove& c) {
                return ordered_json{{"celsius", jsonNumber(c.celsius)}, {"durationSeconds", c.durationSeconds}};
            },
            [](const C::NoMatchingWorkloadFor& c) { return ordered_json{{"seconds", c.seconds}}; },
            [](const C::TimeWindow& c) {
                return ordered_json{{"startMinutes", c.startMinutes}, {"endMinutes", c.endMinutes}};
            },
            [](const auto&) { return ordered_json::object(); },
        },
        condition.value);
    return caseObject(kConditionCaseNames, condition.value.index(), std::move(fields));
}

RuleCondition conditionFromJson(const json& object) {
    using C = RuleCondition;
    const json* fields = nullptr;
    switch (readCaseObject(object, kConditionCaseNames, fields)) {
        case 0: return C::ProcessRunning{requiredString(*fields, "pattern")};
        case 1: return C::BatteryBelow{requiredInt64(*fields, "percent")};
        case 2: return C::BatteryAbove{requiredInt64(*fields, "percent")};
        case 3:
            return C::TemperatureAbove{requiredNumber(*fields, "celsius"), requiredInt64(*fields, "durationSeconds")};
        case 4: return C::OnBatteryPower{};
        case 5: return C::OnACPower{};
        case 6: return C::LidClosed{};
        case 7: return C::NoMatchingWorkloadFor{requiredInt64(*fields, "seconds")};
        default:
            return C::TimeWindow{requiredInt64(*fields, "startMinutes"), requiredInt64(*fields, "endMinutes")};
    }
}

ordered_json actionToJson(const RuleAction& action) {
    using A = RuleAction;
    ordered_json fields = std::visit(
        Overloaded{
            [](const A::SetCoolingPreset& a) { return ordered_json{{"_0", std::string(rawValue(a.preset))}}; },
            [](const A::Notify& a) { return ordered_json{{"title", a.title}, {"body", a.body}}; },
            [](const A::AppendActivityLog& a) { return ordered_json{{"message", a.message}}; },
            [](const auto&) { return ordered_json::object(); },
        },
        action.value);
    return caseObject(kActionCaseNames, action.value.index(), std::move(fields));
}

RuleAction actionFromJson(const json& object) {
    using A = RuleAction;
    const json* fields = nullptr;
    switch (readCaseObject(object, kActionCaseNames, fields)) {
        case 0: return A::StartKeepAwake{};
        case 1: return A::StopKeepAwake{};
        case 2: return A::SetCoolingPreset{requiredPreset(*fields)};
        case 3: return A::Notify{requiredString(*fields, "title"), requiredString(*fields, "body")};
        case 4: return A::SleepMac{};
        case 5: return A::StartClamshell{};
        case 6: return A::StopClamshell{};
        default: return A::AppendActivityLog{requiredString(*fields, "message")};
    }
}

}  // namespace vigilo
