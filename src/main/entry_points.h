#pragma once

#include <string>
#include <vector>

#include "cli/program_entry.h"

namespace vigilo {

// Wires the Linux implementations into the command line and runs it.
int runCommandLine(const std::vector<std::string>& arguments);

// `vigilo-app --install-cli ...`: installs or removes the `vigilo` command,
// prints the result and returns the exit status (0 or 1).
int runCliInstall(CliInstallTarget target);

// Starts the application (headless for now) and runs until SIGINT/SIGTERM.
// Lives in libvigilo-system.so.
int runApplication(const std::vector<std::string>& arguments);

}  // namespace vigilo
