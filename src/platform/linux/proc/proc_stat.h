#pragma once

#include <optional>
#include <string_view>

#include "platform/process_table.h"

namespace vigilo {

// Reads CPU time, resident size and start time out of the text of
// /proc/<pid>/stat. The name field sits in parentheses and may itself hold
// spaces and parentheses, so the fields are counted from the last ")". CPU
// time comes in clock ticks and resident size in pages; `ticksPerSecond` and
// `pageSize` convert them. Pure, for any bytes: absent when the text is
// truncated or malformed.
std::optional<ProcessUsage> parseProcStat(std::string_view text, long ticksPerSecond, long pageSize);

}  // namespace vigilo
