#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "rules/rule_action.h"
#include "rules/rule_condition.h"
#include "support/clock.h"

namespace vigilo {

// A named, switchable Smart Rule: while all `conditions` hold (for long
// enough), perform `actions` in order, at most once per cooldown. A plain
// value, identified by `id` and compared field by field.
struct Rule {
    std::string id;  // canonical upper-case UUID
    std::string name;
    bool isEnabled = true;
    std::vector<RuleCondition> conditions;  // all must hold; none holds always
    std::vector<RuleAction> actions;
    std::int64_t cooldownSeconds = 0;        // least time between two firings
    std::optional<WallTime> lastTriggeredAt;  // absent until the rule first fires
    bool isBuiltIn = false;                   // can be switched off, not deleted
    WallTime createdAt{};
    WallTime updatedAt{};

    bool operator==(const Rule&) const = default;

    // For how long the whole condition list must have held without a break
    // before the rule may fire: the longest duration any condition names.
    std::int64_t requiredHoldSeconds() const;

    // Whether the rule keeps the computer awake while it holds
    // (a keepAwakeWhileHeld action) rather than only firing.
    bool keepsAwakeWhileHeld() const;

    // "If Battery below 5%, On battery power → Sleep the computer".
    std::string summaryLine() const;
};

}  // namespace vigilo
