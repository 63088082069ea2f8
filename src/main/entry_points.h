#pragma once

#include <string>
#include <vector>

namespace vigilo {

// Wires the Linux implementations into the command line and runs it.
int runCommandLine(const std::vector<std::string>& arguments);

// Starts the application (headless for now) and runs until SIGINT/SIGTERM.
// Lives in libvigilo-system.so.
int runApplication(const std::vector<std::string>& arguments);

}  // namespace vigilo
