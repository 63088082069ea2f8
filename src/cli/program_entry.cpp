#include "cli/program_entry.h"

#include <algorithm>

#include "cli/help_text.h"
#include "support/tr.h"

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

std::optional<std::string> applicationInfoText(const std::vector<std::string>& appArguments) {
    auto asked = [&](const char* shortForm, const char* longForm) {
        return std::any_of(appArguments.begin(), appArguments.end(),
                           [&](const std::string& word) { return word == shortForm || word == longForm; });
    };
    if (asked("-h", "--help")) {
        return std::string(tr("Usage: vigilo-app [--headless]\n"
                              "  --headless   run without a tray (the default without a display)\n"
                              "  --cli ...    run as the `vigilo` command line; see `vigilo help`\n"));
    }
    if (asked("-v", "--version")) return std::string("vigilo-app ") + kCliVersion + "\n";
    return std::nullopt;
}

bool wantsHeadless(const std::vector<std::string>& appArguments, bool hasDisplay) {
    return !hasDisplay || std::find(appArguments.begin(), appArguments.end(), "--headless") != appArguments.end();
}

}  // namespace vigilo
