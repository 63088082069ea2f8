#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "rules/rule.h"
#include "rules/rule_json_fields.h"

namespace vigilo {

// The rules file: one compact JSON array of rule objects with the keys
// "id", "name", "isEnabled", "conditions", "actions", "cooldownSeconds",
// "lastTriggeredAt" (left out until the rule fires), "isBuiltIn",
// "createdAt" and "updatedAt". Dates are seconds since 2001-01-01 00:00:00
// UTC, with a fraction when they have one.
std::string encodeRules(const std::vector<Rule>& rules);

// All or nothing: any fault anywhere throws RuleDecodeError, whose what()
// says where. Every key but "lastTriggeredAt" is required (null counts as
// missing); keys not listed are ignored.
std::vector<Rule> decodeRules(const std::string& text);

nlohmann::ordered_json ruleToJson(const Rule& rule);
Rule ruleFromJson(const nlohmann::json& object);

// Seconds since 2001-01-01 00:00:00 UTC and back. A value the wall clock
// cannot hold (not finite, or centuries away) throws RuleDecodeError.
double secondsSinceReferenceDate(WallTime time);
WallTime wallTimeFromReferenceSeconds(double seconds);

}  // namespace vigilo
