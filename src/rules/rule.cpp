#include "rules/rule.h"

#include <algorithm>

#include "support/tr.h"

namespace vigilo {
namespace {

template <class Item>
std::string joinedSummaries(const std::vector<Item>& items) {
    std::string joined;
    for (const Item& item : items) {
        if (!joined.empty()) joined += ", ";
        joined += item.localizedSummary();
    }
    return joined;
}

}  // namespace

std::int64_t Rule::requiredHoldSeconds() const {
    std::int64_t longest = 0;
    for (const RuleCondition& condition : conditions) longest = std::max(longest, condition.holdSeconds());
    return longest;
}

bool Rule::keepsAwakeWhileHeld() const {
    return std::ranges::any_of(actions, [](const RuleAction& action) {
        return std::holds_alternative<RuleAction::KeepAwakeWhileHeld>(action.value);
    });
}

std::string Rule::summaryLine() const {
    return trFormat("If {} \u2192 {}", joinedSummaries(conditions), joinedSummaries(actions));
}

}  // namespace vigilo
