#pragma once

#include <array>
#include <string>

#include "cli/cli_installer.h"

namespace vigilo {

// The dialog behind "Install vigilo CLI…": one question whose first three
// answers are CliInstallTarget's user, system and uninstall and whose last
// cancels, then one alert with the installer's result.
struct InstallDialogTexts {
    std::string message;
    std::string informativeText;
    std::array<std::string, 4> buttons;  // in the order shown
};

struct InstallResultAlert {
    std::string message;  // "Done" or "Couldn't finish"
    std::string informativeText;
    bool warning = false;
};

InstallDialogTexts installDialogTexts();
InstallResultAlert installResultAlert(const CLIInstaller::Result& result);

}  // namespace vigilo
