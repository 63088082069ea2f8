#include "ui/install_dialog_model.h"

#include "cli/command_on_path.h"
#include "support/tr.h"

namespace vigilo {

InstallDialogTexts installDialogTexts(const VigiloOnPath& onPath) {
    const InstallChoice uninstall{tr("Uninstall"), CliInstallTarget::uninstall};
    if (onPath.other) {
        return {
            tr("The vigilo command is already installed"),
            trFormat("`vigilo` on your PATH is {}; no copy of Vigilo's is needed. Uninstall removes the ones Vigilo "
                     "wrote.",
                     onPath.other->string()),
            {uninstall},
            tr("Cancel"),
        };
    }
    return {
        tr("Install the vigilo command?"),
        tr("Pick a location for the `vigilo` script. User install needs no password but you may need to add "
           "~/.local/bin to your PATH."),
        {{tr("User (~/.local/bin)"), CliInstallTarget::user},
         {tr("System (/usr/local/bin, admin)"), CliInstallTarget::system},
         uninstall},
        tr("Cancel"),
    };
}

InstallResultAlert installResultAlert(const CLIInstaller::Result& result) {
    return {result.ok ? tr("Done") : tr("Couldn't finish"), result.message, !result.ok};
}

}  // namespace vigilo
