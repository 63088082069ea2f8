#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/shell_launcher.h"

namespace vigilo {

// The shell that runs command texts: the user's login shell from the
// password database when it takes `-l -c`, else /bin/sh.
std::string loginShellPath();

// Whether `shell` can run `<shell> -l -c <text>`: it exists and is
// executable, and is not one of the shells that take -l only alone (csh,
// tcsh) or that refuse to run anything (nologin, false).
bool acceptsLoginCommand(const std::filesystem::path& shell);

// Whether `shell` runs `-c <script> <name> <arguments...>` with the
// arguments as "$@", as every POSIX shell does. Those with a language of
// their own (fish, nushell, xonsh, ...) do not.
bool passesPositionalArguments(const std::filesystem::path& shell);

// Runs `<shell> -l -c <text>`, or for exact arguments
// `<shell> -l -c 'exec "$@"' vigilo <arguments...>` (through /bin/sh when
// the shell has no "$@"), and waits for it. While waiting, SIGINT
// and SIGTERM are caught by handlers that do nothing, so this process
// survives them; the child starts with the default actions. The handlers
// stay installed.
class LoginShellLauncher final : public ShellLauncher {
public:
    explicit LoginShellLauncher(std::string shell = loginShellPath()) : shell_(std::move(shell)) {}
    ShellRunResult runText(const std::string& text) override;
    ShellRunResult runArguments(const std::vector<std::string>& arguments) override;

private:
    std::string shell_;
};

}  // namespace vigilo
