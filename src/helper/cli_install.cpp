#include "helper/cli_install.h"

#include <sys/stat.h>

#include <system_error>

#include <fmt/format.h>

#include "cli/cli_wrapper.h"
#include "support/atomic_file.h"

namespace vigilo {
namespace {

namespace fs = std::filesystem;

// Root writes a command every user runs: it must name the application, not
// any program a caller picks.
bool isApplicationExecutable(const std::string& path) {
    std::error_code error;
    const fs::path resolved = fs::canonical(path, error);
    if (error || resolved.filename() != "vigilo-app") return false;
    struct stat info {};
    return ::stat(resolved.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & S_IXUSR) != 0;
}

}  // namespace

HelperOutcome applyCliInstall(const CliInstallRequest& request, const HelperRoots& roots) {
    const fs::path target = roots.usrLocal / "bin" / "vigilo";
    if (request.executable.empty()) {
        std::error_code error;
        fs::remove(target, error);
        if (error) return {kHelperFailed, fmt::format("cannot remove {}: {}", target.string(), error.message())};
        return {};
    }
    if (!isApplicationExecutable(request.executable)) {
        return {kHelperRefused, fmt::format("install-cli: '{}' is not a vigilo-app executable", request.executable)};
    }
    if (auto error = writeFileAtomically(target, cliWrapperScript(request.executable), 0755)) {
        return {kHelperFailed, fmt::format("cannot write {}: {}", target.string(), *error)};
    }
    return {};
}

}  // namespace vigilo
