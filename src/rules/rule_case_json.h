#pragma once

#include <nlohmann/json.hpp>

#include "rules/rule_action.h"
#include "rules/rule_condition.h"

namespace vigilo {

// The stored form of one condition or action: an object with one key, the
// case name, whose value holds the case's values under their labels, e.g.
// {"temperatureAbove":{"celsius":90,"durationSeconds":300}} or
// {"setCoolingPreset":{"_0":"aiWorkload"}}. The readers throw
// RuleDecodeError (rules/rule_json_fields.h).
nlohmann::ordered_json conditionToJson(const RuleCondition& condition);
RuleCondition conditionFromJson(const nlohmann::json& object);

nlohmann::ordered_json actionToJson(const RuleAction& action);
RuleAction actionFromJson(const nlohmann::json& object);

}  // namespace vigilo
