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

namespace {

std::string usageText() {
    return tr("Usage: vigilo-app [--headless]\n"
              "  --headless   run without a tray (the default without a display)\n"
              "  --install-cli user|system|uninstall\n"
              "               install the `vigilo` command in ~/.local/bin or /usr/local/bin, or remove it\n"
              "  --cli ...    run as the `vigilo` command line; see `vigilo help`\n"
              "  -h, --help   print this text\n"
              "  -v, --version\n"
              "               print the version\n");
}

// Every option the application knows; those that take a word say so.
struct KnownOption {
    const char* name;
    bool takesWord;
};
constexpr KnownOption kKnownOptions[] = {
    {"--headless", false}, {"-h", false}, {"--help", false}, {"-v", false}, {"--version", false},
    {"--install-cli", true},
};

const KnownOption* knownOption(const std::string& word) {
    for (const auto& option : kKnownOptions) {
        if (word == option.name) return &option;
    }
    return nullptr;
}

std::optional<CliInstallTarget> targetNamed(const std::string& word) {
    if (word == "user") return CliInstallTarget::user;
    if (word == "system") return CliInstallTarget::system;
    if (word == "uninstall") return CliInstallTarget::uninstall;
    return std::nullopt;
}

}  // namespace

std::optional<std::string> applicationUsageError(const std::vector<std::string>& appArguments) {
    for (std::size_t i = 0; i < appArguments.size(); ++i) {
        const std::string& word = appArguments[i];
        const KnownOption* option = knownOption(word);
        if (!option) {
            return trFormat(word.starts_with("-") ? "vigilo-app: unknown option '{}'" : "vigilo-app: unexpected '{}'",
                            word) + "\n" + usageText();
        }
        if (option->takesWord && (i + 1 == appArguments.size() || !targetNamed(appArguments[++i]))) {
            return std::string(tr("vigilo-app: --install-cli takes user, system or uninstall")) + "\n" + usageText();
        }
    }
    return std::nullopt;
}

std::optional<CliInstallTarget> cliInstallTarget(const std::vector<std::string>& appArguments) {
    auto at = std::find(appArguments.begin(), appArguments.end(), "--install-cli");
    if (at == appArguments.end() || at + 1 == appArguments.end()) return std::nullopt;
    return targetNamed(*(at + 1));
}

std::optional<std::string> applicationInfoText(const std::vector<std::string>& appArguments) {
    auto asked = [&](const char* shortForm, const char* longForm) {
        return std::any_of(appArguments.begin(), appArguments.end(),
                           [&](const std::string& word) { return word == shortForm || word == longForm; });
    };
    if (asked("-h", "--help")) {
        return usageText();
    }
    if (asked("-v", "--version")) return std::string("vigilo-app ") + kCliVersion + "\n";
    return std::nullopt;
}

bool wantsHeadless(const std::vector<std::string>& appArguments, bool hasDisplay) {
    return !hasDisplay || std::find(appArguments.begin(), appArguments.end(), "--headless") != appArguments.end();
}

}  // namespace vigilo
