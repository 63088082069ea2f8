#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "rules/rule.h"
#include "support/clock.h"

namespace vigilo {

// A fresh copy of the nine built-in rules, in their display order: each with
// a new id, created and updated `now`, never triggered, enabled and
// built-in. The names are looked up in the current locale and stored as the
// text found.
std::vector<Rule> defaultRules(WallTime now);

// The rule the rules window adds for a process name: trimmed of spaces and
// tabs and lower-cased; nothing when that leaves no text.
std::optional<Rule> customProcessRule(std::string_view processName, WallTime now);

}  // namespace vigilo
