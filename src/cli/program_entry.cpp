#include "cli/program_entry.h"

#include <algorithm>

namespace vigilo {

EntryChoice chooseRole(const std::vector<std::string>& argv) {
    EntryChoice choice;
    if (argv.empty()) return choice;

    const std::string& path = argv[0];
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const bool cli = name == "vigilo" || (argv.size() >= 2 && argv[1] == "--cli");

    choice.arguments.assign(argv.begin() + 1, argv.end());
    if (cli) {
        choice.role = Role::commandLine;
        if (!choice.arguments.empty() && choice.arguments.front() == "--cli") {
            choice.arguments.erase(choice.arguments.begin());
        }
    }
    return choice;
}

bool wantsHeadless(const std::vector<std::string>& appArguments, bool hasDisplay) {
    return !hasDisplay || std::find(appArguments.begin(), appArguments.end(), "--headless") != appArguments.end();
}

}  // namespace vigilo
