#include <cstdio>

#include "cli/cli_installer.h"
#include "main/entry_points.h"
#include "main/system_module.h"
#include "platform/linux/own_executable.h"
#include "platform/linux/pkexec_command_install.h"
#include "support/xdg_paths.h"

namespace vigilo {

int runCliInstall(CliInstallTarget target) {
    // The terminal gets the result; diagnostics go to the journal.
    setLogSink(SystemModule::lazyJournalSink());
    PkexecCommandInstall system;
    CLIInstaller installer(XdgEnvironment::fromProcess().home, ownExecutablePath(), system);
    CLIInstaller::Result result;
    switch (target) {
        case CliInstallTarget::user: result = installer.installForUser(); break;
        case CliInstallTarget::system: result = installer.installForSystem(); break;
        case CliInstallTarget::uninstall: result = installer.uninstall(); break;
    }
    std::fprintf(result.ok ? stdout : stderr, "%s\n", result.message.c_str());
    return result.ok ? 0 : 1;
}

}  // namespace vigilo
