// The one executable: the `vigilo` command line or the application,
// chosen by name and arguments.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/program_entry.h"
#include "main/entry_points.h"
#include "main/system_module.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    auto choice = vigilo::chooseRole(args);
    if (choice.role == vigilo::Role::commandLine) return vigilo::runCommandLine(choice.arguments);
    if (auto text = vigilo::applicationInfoText(choice.arguments)) {
        std::fputs(text->c_str(), stdout);
        return 0;
    }
    if (auto error = vigilo::applicationUsageError(choice.arguments)) {
        std::fputs(error->c_str(), stderr);
        return 2;
    }
    if (auto target = vigilo::cliInstallTarget(choice.arguments)) return vigilo::runCliInstall(*target);
    return vigilo::SystemModule::runApplication(choice.arguments);
}
