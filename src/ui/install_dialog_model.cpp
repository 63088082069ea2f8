#include "ui/install_dialog_model.h"

#include "support/tr.h"

namespace vigilo {

InstallDialogTexts installDialogTexts() {
    return {
        tr("Install the vigilo command?"),
        tr("Pick a location for the `vigilo` script. User install needs no password but you may need to add "
           "~/.local/bin to your PATH."),
        {tr("User (~/.local/bin)"), tr("System (/usr/local/bin, admin)"), tr("Uninstall"), tr("Cancel")},
    };
}

InstallResultAlert installResultAlert(const CLIInstaller::Result& result) {
    return {result.ok ? tr("Done") : tr("Couldn't finish"), result.message, !result.ok};
}

}  // namespace vigilo
