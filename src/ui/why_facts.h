#pragma once

#include <string>
#include <vector>

#include "app/why/inhibitor_entry.h"
#include "ui/state_facts.h"

namespace vigilo {

// What else keeps the computer awake, from the live list, into the facts
// the tray menu, the status window and the dashboard are drawn from.
void addOthersKeepingAwake(StateFacts& facts, const std::vector<InhibitorEntry>& entries);

// The status line: the mode's own, except that while Vigilo is off (closed-lid
// mode too) and another program blocks sleep it says so.
std::string statusLineWithOthers(const StateFacts& facts);

}  // namespace vigilo
