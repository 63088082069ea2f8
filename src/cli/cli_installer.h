#pragma once

#include <filesystem>
#include <string>

#include "support/log.h"

namespace vigilo {

class SystemCommandInstall;

enum class CliInstallTarget { user, system, uninstall };

// Makes the application's executable available as the command `vigilo`: a
// small script for the current user in ~/.local/bin (no password), or
// system-wide in /usr/local/bin with the administrator's consent, and
// removes them again. Main thread only; the system calls block on the
// administrator's prompt.
class CLIInstaller {
public:
    struct Result {
        bool ok = false;
        std::string message;  // for the person
        bool operator==(const Result&) const = default;
    };

    // `executable` is the application's own path; `system` names the
    // system-wide command's file.
    CLIInstaller(std::filesystem::path home, std::string executable, SystemCommandInstall& system);

    Result installForUser();
    Result installForSystem();
    // Removes the per-user script and asks for the system-wide one only when
    // that file is there. A removal the administrator's side refuses fails
    // with its reason, after naming what did go.
    Result uninstall();
    // The one of the three the target names.
    Result run(CliInstallTarget target);

    std::filesystem::path userTarget() const { return home_ / ".local" / "bin" / "vigilo"; }

private:
    std::filesystem::path home_;
    std::string executable_;
    SystemCommandInstall& system_;
    std::filesystem::path systemTarget_;
    Logger log_{"CLIInstaller"};
};

}  // namespace vigilo
