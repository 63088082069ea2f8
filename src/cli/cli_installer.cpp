#include "cli/cli_installer.h"

#include <system_error>
#include <vector>

#include "cli/cli_wrapper.h"
#include "platform/system_command_install.h"
#include "support/atomic_file.h"
#include "support/tr.h"

namespace vigilo {
namespace {

namespace fs = std::filesystem;

// A file or a link, dangling or not: what a removal can take away. A folder
// of that name is not ours.
bool fileIsThere(const fs::path& path) {
    std::error_code error;
    const auto status = fs::symlink_status(path, error);
    return !error && fs::exists(status) && !fs::is_directory(status);
}

std::string joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const auto& part : parts) text += (text.empty() ? "" : ", ") + part;
    return text;
}

}  // namespace

CLIInstaller::CLIInstaller(fs::path home, std::string executable, SystemCommandInstall& system)
    : home_(std::move(home)), executable_(std::move(executable)), system_(system), systemTarget_(system.commandPath()) {}

CLIInstaller::Result CLIInstaller::installForUser() {
    const fs::path target = userTarget();
    // The rename replaces a link of that name, never the file it points to;
    // a folder in the way makes the rename fail and is left alone.
    auto error = createFoldersDurably(target.parent_path());
    if (!error) error = writeFileAtomically(target, cliWrapperScript(executable_), 0755);
    if (error) {
        log_.error("user install failed: {}", *error);
        return {false, *error};
    }
    return {true, tr("Installed to ") + target.string()};
}

CLIInstaller::Result CLIInstaller::installForSystem() {
    if (auto error = system_.install(executable_)) return {false, *error};
    return {true, tr("Installed to ") + systemTarget_.string()};
}

CLIInstaller::Result CLIInstaller::uninstall() {
    std::vector<std::string> removed;
    const fs::path user = userTarget();
    if (fileIsThere(user)) {
        std::error_code error;
        fs::remove(user, error);
        if (error) return {false, trFormat("Cannot remove {}: {}", user.string(), error.message())};
        removed.push_back(user.string());
    }
    // No file, no prompt: the administrator is asked only for something to do.
    std::optional<std::string> refusal;
    if (fileIsThere(systemTarget_)) {
        refusal = system_.remove();
        if (!refusal) removed.push_back(systemTarget_.string());
    }
    if (refusal) {
        log_.info("system-wide command left: {}", *refusal);
        if (removed.empty()) return {false, *refusal};
        return {false, tr("Removed: ") + joined(removed) + "\n" + *refusal};
    }
    if (removed.empty()) return {false, tr("Nothing was installed.")};
    return {true, tr("Removed: ") + joined(removed)};
}

CLIInstaller::Result CLIInstaller::run(CliInstallTarget target) {
    switch (target) {
        case CliInstallTarget::user: return installForUser();
        case CliInstallTarget::system: return installForSystem();
        case CliInstallTarget::uninstall: return uninstall();
    }
    return uninstall();
}

}  // namespace vigilo
