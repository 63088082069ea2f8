#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/why/inhibitor_entry.h"

namespace vigilo {

// `vigilo why`'s text: a heading and one aligned row per lock (what, who,
// why, process, source), or one line when nothing keeps the computer awake.
// Control characters show as spaces. With `width` (a terminal's columns)
// each line is cut to it; without, lines are whole. Ends with a newline.
std::string inhibitorTable(const std::vector<InhibitorEntry>& entries, std::optional<std::size_t> width);

// The process column: "rsync -a /home (pid 4121)", "(pid 77)" for a process
// whose name is unknown, empty when there is no pid.
std::string inhibitorProcessText(const InhibitorEntry& entry);

// `text` on one line: every control character (line breaks and tabs too) a space.
std::string singleLineText(std::string_view text);

// The names of what else keeps the computer or its screen awake, for the
// tray: "Firefox, backup", at most three and then "and N more"; empty when
// only Vigilo (or nothing) does.
std::string alsoKeepingAwakeNames(const std::vector<InhibitorEntry>& entries);

// Whether anything other than Vigilo blocks system sleep.
bool othersBlockSleep(const std::vector<InhibitorEntry>& entries);

}  // namespace vigilo
