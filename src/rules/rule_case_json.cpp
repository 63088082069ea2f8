#include "rules/rule_case_json.h"

#include <iterator>

#include <fmt/format.h>

#include "rules/overloaded.h"
#include "rules/rule_json_fields.h"
#include "support/json_wire.h"

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

// ISO day numbers in ascending order, as the rules window and the summary
// list them.
ordered_json weekdaysToJson(WeekdaySet days) {
    ordered_json list = ordered_json::array();
    for (int day = 1; day <= 7; ++day) {
        if (containsWeekday(days, day)) list.push_back(day);
    }
    return list;
}

// Absent (or null) is every day. Anything but one to seven distinct whole
// numbers from 1 to 7 fails the whole file, as every other fault does.
WeekdaySet optionalWeekdays(const json& fields) {
    auto it = fields.find("weekdays");
    if (it == fields.end() || it->is_null()) return kEveryDay;
    if (!it->is_array()) {
        throw RuleDecodeError(fmt::format("key 'weekdays': expected an array, found {}", jsonTypeName(*it)));
    }
    if (it->empty() || it->size() > 7) {
        throw RuleDecodeError(fmt::format("key 'weekdays': expected 1 to 7 days, found {}", it->size()));
    }
    WeekdaySet days = 0;
    for (const json& day : *it) {
        if (!day.is_number_integer()) {
            throw RuleDecodeError(fmt::format("key 'weekdays': expected a whole number, found {}", day.dump()));
        }
        // Unsigned past 2^63 would wrap in get<int64_t>(); any such number is out of range anyway.
        const bool inRange = day.is_number_unsigned() ? day.get<std::uint64_t>() <= 7
                                                      : day.get<std::int64_t>() >= 1 && day.get<std::int64_t>() <= 7;
        if (!inRange || day.get<std::int64_t>() < 1) {
            throw RuleDecodeError(
                fmt::format("key 'weekdays': {} is not a day from 1 (Monday) to 7 (Sunday)", day.dump()));
        }
        const WeekdaySet bit = weekdayBit(day.get<int>());
        if (days & bit) throw RuleDecodeError(fmt::format("key 'weekdays': day {} is listed twice", day.dump()));
        days |= bit;
    }
    return days;
}

RuleCondition::TimeWindow timeWindowFromJson(const json& fields) {
    return {requiredInt64(fields, "startMinutes"), requiredInt64(fields, "endMinutes"), optionalWeekdays(fields)};
}

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
                ordered_json window{{"startMinutes", c.startMinutes}, {"endMinutes", c.endMinutes}};
                // Left out for every day, so a file older versions wrote reads back as it was.
                if (c.weekdays != kEveryDay) window["weekdays"] = weekdaysToJson(c.weekdays);
                return window;
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
        case 8: return timeWindowFromJson(*fields);
        default: return C::RemoteSessionActive{};
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
        case 7: return A::AppendActivityLog{requiredString(*fields, "message")};
        default: return A::KeepAwakeWhileHeld{};
    }
}

}  // namespace vigilo
