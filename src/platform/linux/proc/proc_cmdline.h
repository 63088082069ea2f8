#pragma once

#include <string>
#include <string_view>

namespace vigilo {

// The arguments in the bytes of /proc/<pid>/cmdline (each ended by a NUL, the
// last one possibly not), the empty ones dropped and the rest joined with
// single spaces, as UTF-8 with U+FFFD for bytes that are not. Empty when no
// argument is left. The process writes these bytes itself, so they may be
// anything.
std::string joinProcCmdline(std::string_view raw);

}  // namespace vigilo
