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
    const auto env = XdgEnvironment::fromProcess();
    auto system = PkexecCommandInstall::forEnvironment(env);
    CLIInstaller installer(env.home, ownExecutablePath(), system);
    const auto result = installer.run(target);
    std::fprintf(result.ok ? stdout : stderr, "%s\n", result.message.c_str());
    return result.ok ? 0 : 1;
}

}  // namespace vigilo
