#pragma once

#include <vector>

#include "app/why/inhibitor_entry.h"

namespace vigilo {

class AppState;

// The application's own rows in the list of what keeps the computer awake:
// what it holds now, and why, in the words the tray uses ("Keep Awake",
// "Timer — 42 min left", "Auto Mode — claude, ollama", "Running a command",
// "Closed-lid mode").
std::vector<InhibitorEntry> ownInhibitorRowsOf(AppState& state, std::int64_t pid, std::uint32_t uid);

}  // namespace vigilo
