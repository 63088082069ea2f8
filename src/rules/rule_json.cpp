#include "rules/rule_json.h"

#include <chrono>
#include <cmath>

#include <fmt/format.h>

#include "activity/activity_event.h"
#include "rules/rule_case_json.h"
#include "support/json_wire.h"

namespace vigilo {

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

constexpr std::chrono::sys_seconds kReferenceDate{std::chrono::sys_days{std::chrono::year{2001} / 1 / 1}};
// The wall clock counts nanoseconds, which reach about 292 years either side
// of 1970; dates are kept well inside that.
constexpr double kFarthestReferenceSeconds = 200.0 * 365.25 * 86400;

WallTime requiredDate(const json& object, const char* key) {
    try {
        return wallTimeFromReferenceSeconds(requiredNumber(object, key));
    } catch (const RuleDecodeError& error) {
        throw RuleDecodeError(fmt::format("key '{}': {}", key, error.what()));
    }
}

template <class Item, class Read>
std::vector<Item> readList(const json& object, const char* key, Read read) {
    std::vector<Item> items;
    std::size_t position = 0;
    for (const json& element : requiredArray(object, key)) {
        try {
            items.push_back(read(element));
        } catch (const RuleDecodeError& error) {
            throw RuleDecodeError(fmt::format("'{}'[{}]: {}", key, position, error.what()));
        }
        ++position;
    }
    return items;
}

}  // namespace

double secondsSinceReferenceDate(WallTime time) {
    // Whole seconds and the fraction apart, so the nanoseconds survive the
    // trip through a double as far as a double can hold them.
    const auto sinceReference = time - WallTime{kReferenceDate};
    const auto whole = std::chrono::floor<std::chrono::seconds>(sinceReference);
    const auto fraction = std::chrono::duration_cast<std::chrono::nanoseconds>(sinceReference - whole);
    return static_cast<double>(whole.count()) + static_cast<double>(fraction.count()) / 1e9;
}

WallTime wallTimeFromReferenceSeconds(double seconds) {
    if (!std::isfinite(seconds) || std::fabs(seconds) > kFarthestReferenceSeconds) {
        throw RuleDecodeError(fmt::format("the date {} is out of range", seconds));
    }
    const double whole = std::floor(seconds);
    const auto nanos = std::llround((seconds - whole) * 1e9);
    return WallTime{kReferenceDate} +
           std::chrono::duration_cast<WallTime::duration>(std::chrono::seconds{static_cast<std::int64_t>(whole)} +
                                                          std::chrono::nanoseconds{nanos});
}

ordered_json ruleToJson(const Rule& rule) {
    ordered_json conditions = ordered_json::array();
    for (const RuleCondition& condition : rule.conditions) conditions.push_back(conditionToJson(condition));
    ordered_json actions = ordered_json::array();
    for (const RuleAction& action : rule.actions) actions.push_back(actionToJson(action));

    ordered_json object = {{"id", rule.id}, {"name", rule.name}, {"isEnabled", rule.isEnabled},
                           {"conditions", std::move(conditions)}, {"actions", std::move(actions)},
                           {"cooldownSeconds", rule.cooldownSeconds}};
    if (rule.lastTriggeredAt) object["lastTriggeredAt"] = jsonNumber(secondsSinceReferenceDate(*rule.lastTriggeredAt));
    object["isBuiltIn"] = rule.isBuiltIn;
    object["createdAt"] = jsonNumber(secondsSinceReferenceDate(rule.createdAt));
    object["updatedAt"] = jsonNumber(secondsSinceReferenceDate(rule.updatedAt));
    return object;
}

Rule ruleFromJson(const json& object) {
    if (!object.is_object()) throw RuleDecodeError(fmt::format("expected an object, found {}", jsonTypeName(object)));
    Rule rule;
    const std::string id = requiredString(object, "id");
    auto uuid = canonicalUuid(id);
    if (!uuid) throw RuleDecodeError(fmt::format("key 'id': \"{}\" is not a UUID", id));
    rule.id = std::move(*uuid);
    rule.name = requiredString(object, "name");
    rule.isEnabled = requiredBool(object, "isEnabled");
    rule.conditions = readList<RuleCondition>(object, "conditions", conditionFromJson);
    rule.actions = readList<RuleAction>(object, "actions", actionFromJson);
    rule.cooldownSeconds = requiredInt64(object, "cooldownSeconds");
    if (auto it = object.find("lastTriggeredAt"); it != object.end() && !it->is_null()) {
        rule.lastTriggeredAt = requiredDate(object, "lastTriggeredAt");
    }
    rule.isBuiltIn = requiredBool(object, "isBuiltIn");
    rule.createdAt = requiredDate(object, "createdAt");
    rule.updatedAt = requiredDate(object, "updatedAt");
    return rule;
}

std::string encodeRules(const std::vector<Rule>& rules) {
    ordered_json array = ordered_json::array();
    for (const Rule& rule : rules) array.push_back(ruleToJson(rule));
    // Text that is not UTF-8 is replaced rather than thrown on: a save must not fail.
    return array.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::vector<Rule> decodeRules(const std::string& text) {
    const json parsed = json::parse(text, nullptr, false);
    if (parsed.is_discarded()) throw RuleDecodeError("the text is not valid JSON");
    if (!parsed.is_array()) throw RuleDecodeError(fmt::format("expected an array, found {}", jsonTypeName(parsed)));
    std::vector<Rule> rules;
    rules.reserve(parsed.size());
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        try {
            rules.push_back(ruleFromJson(parsed[i]));
        } catch (const RuleDecodeError& error) {
            throw RuleDecodeError(fmt::format("rule {}: {}", i + 1, error.what()));
        }
    }
    return rules;
}

}  // namespace vigilo
