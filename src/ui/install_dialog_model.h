#pragma once

#include <string>
#include <vector>

#include "cli/cli_installer.h"

namespace vigilo {

struct VigiloOnPath;

// The dialog behind "Install vigilo CLI…": one question whose answers each
// run one CliInstallTarget, or cancel, then one alert with the installer's
// result.
struct InstallChoice {
    std::string label;
    CliInstallTarget target;
    bool operator==(const InstallChoice&) const = default;
};

struct InstallDialogTexts {
    std::string message;
    std::string informativeText;
    std::vector<InstallChoice> choices;  // in the order shown, before cancel
    std::string cancel;
};

struct InstallResultAlert {
    std::string message;  // "Done" or "Couldn't finish"
    std::string informativeText;
    bool warning = false;
};

// Where another `vigilo` already answers on the PATH, installing one of
// ours beside it only leaves a copy to go stale: the dialog then says where
// it is and offers only to remove ours.
InstallDialogTexts installDialogTexts(const VigiloOnPath& onPath);
InstallResultAlert installResultAlert(const CLIInstaller::Result& result);

}  // namespace vigilo
