#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "rules/rule_condition.h"
#include "rules/rule_inputs.h"

namespace vigilo {

// What the conditions of one evaluation are judged against.
struct RuleFacts {
    const RuleInputs& inputs;
    std::set<std::string> names;  // application names and the user's process names, lower-cased
    bool workloadRunning = false;  // a name matches one of the watch patterns
};

// `processNames` must be lower-cased.
RuleFacts ruleFacts(const RuleInputs& inputs, const std::set<std::string>& processNames);

bool conditionHolds(const RuleCondition& condition, const RuleFacts& facts);
// All of them, in order; true for none.
bool conditionsHold(const std::vector<RuleCondition>& conditions, const RuleFacts& facts);

// Whether some name equals `pattern` once that is trimmed of spaces and tabs
// and lower-cased, or begins with it. A blank pattern matches nothing.
bool someNameMatches(const std::set<std::string>& names, std::string_view pattern);

}  // namespace vigilo
