#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/cli_installer.h"

namespace vigilo {

enum class Role { commandLine, application };

struct EntryChoice {
    Role role = Role::application;
    // For the command line: its arguments, without argument 0 and without
    // one leading "--cli". For the application: every argument after 0.
    std::vector<std::string> arguments;
};

// Started as "vigilo" (by the last path component of argument 0), or with
// "--cli" as argument 1, the executable is the command line; otherwise it
// is the application.
EntryChoice chooseRole(const std::vector<std::string>& argv);

// What `vigilo-app --help` or `--version` prints (-h and -v too), or nullopt
// when the application should start. Settled before the application loads
// or locks anything, so they answer also while another instance runs.
std::optional<std::string> applicationInfoText(const std::vector<std::string>& appArguments);

// Why the application's arguments cannot be followed (an unknown option, a
// word out of place, --install-cli without its target), as the line to print
// with the usage; nothing when they can. Answered with status 2.
std::optional<std::string> applicationUsageError(const std::vector<std::string>& appArguments);

// What `--install-cli user|system|uninstall` asks for: the installer runs
// and the program exits without starting the application.
std::optional<CliInstallTarget> cliInstallTarget(const std::vector<std::string>& appArguments);

// Whether the application runs without a tray: asked for with --headless,
// or no graphical session to show one in.
bool wantsHeadless(const std::vector<std::string>& appArguments, bool hasDisplay);

}  // namespace vigilo
