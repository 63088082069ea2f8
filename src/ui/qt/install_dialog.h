#pragma once

#include "cli/command_on_path.h"

namespace vigilo {

class CLIInstaller;

// "Install vigilo CLI…": asks where to install the `vigilo` command (or to
// remove it), runs the installer and shows its result. Modal; the system
// targets wait for the administrator's prompt.
void runInstallDialog(CLIInstaller& installer);

// The `vigilo` commands this process's PATH reaches now, ours told apart.
VigiloOnPath vigiloOnOurPath(const CLIInstaller& installer);

}  // namespace vigilo
