#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "platform/inhibitor_sources.h"

namespace vigilo {

// Fills in the holder of each logind lock from a /proc-shaped tree: its
// name and owner and, for systemd-inhibit and Vigilo's wrap mode (which only
// wait for the program they run), their first child. A process that has
// exited keeps an empty name.
void describeHolders(std::vector<LogindLock>& locks, const std::filesystem::path& procRoot);

}  // namespace vigilo
