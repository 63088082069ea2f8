#include "helper/cli_install.h"

#include <sys/stat.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include <fmt/format.h>

#include "cli/cli_wrapper.h"
#include "helper/installed_wrapper.h"
#include "support/atomic_file.h"
#include "support/bounded_file.h"

namespace vigilo {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kNeedsAdministratorsInstall =
    "The system-wide command needs Vigilo installed by an administrator; use the per-user command instead.";
// Our wrapper is a few hundred bytes; a larger file is not ours.
constexpr std::uintmax_t kMaxWrapperBytes = 64 * 1024;

HelperOutcome toPerson(std::string sentence) { return {kHelperFailed, std::move(sentence), true}; }

// Asked to name the application: anything else is a bad argument.
bool isApplicationExecutable(const fs::path& resolved) {
    struct stat info {};
    return resolved.filename() == "vigilo-app" && ::stat(resolved.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           (info.st_mode & S_IXUSR) != 0;
}

bool isBelow(const fs::path& path, const fs::path& top) {
    return std::mismatch(top.begin(), top.end(), path.begin(), path.end()).first == top.end();
}

// A folder its group may write is still the administrator's (on Debian
// /usr/local belongs to the group staff), unless it has an access ACL: its
// group bits are then the ACL's mask, and a named user may write it too.
bool onlyOwnerAndGroupWrite(const fs::path& folder, const struct stat& info) {
    if ((info.st_mode & S_IWOTH) != 0) return false;
    if ((info.st_mode & S_IWGRP) == 0) return true;
    return ::lgetxattr(folder.c_str(), "system.posix_acl_access", nullptr, 0) < 0;
}

// Root will run the program for every user who types `vigilo`: nobody but
// the administrator may be able to change it, nor swap any folder on its
// way, or that user's code would run as root. `program` is canonical, so no
// link on the way can be swapped either.
bool onlyTheAdministratorCanChange(const fs::path& program, const HelperRoots& roots) {
    if (!isBelow(program, roots.trustedTop)) return false;
    struct stat info {};
    if (::lstat(program.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != roots.administrator ||
        (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return false;
    }
    for (fs::path folder = program.parent_path();; folder = folder.parent_path()) {
        if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != roots.administrator ||
            !onlyOwnerAndGroupWrite(folder, info)) {
            return false;
        }
        if (folder == roots.trustedTop || folder == folder.parent_path()) return true;
    }
}

HelperOutcome installWrapper(const std::string& executable, const fs::path& target, const HelperRoots& roots) {
    std::error_code error;
    const fs::path resolved = fs::canonical(executable, error);
    if (error || !isApplicationExecutable(resolved)) {
        return {kHelperRefused, fmt::format("install-cli: '{}' is not a vigilo-app executable", executable)};
    }
    if (!onlyTheAdministratorCanChange(resolved, roots)) return toPerson(std::string(kNeedsAdministratorsInstall));
    if (auto failed = writeFileAtomically(target, cliWrapperScript(resolved.string()), 0755)) {
        return {kHelperFailed, fmt::format("cannot write {}: {}", target.string(), *failed)};
    }
    return {};
}

// Only a wrapper we wrote goes: the name is in every user's PATH, and an
// administrator may have put their own program there.
HelperOutcome removeOurWrapper(const fs::path& target) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0) {
        if (errno == ENOENT) return {};
        return {kHelperFailed, fmt::format("cannot look at {}: {}", target.string(), std::strerror(errno))};
    }
    const bool ours = S_ISREG(info.st_mode) && [&] {
        const BoundedFile file = readBoundedFile(target, kMaxWrapperBytes);
        return file.status == BoundedFile::Status::ok && isVigiloCliWrapper(file.contents);
    }();
    if (!ours) return toPerson(fmt::format("{} was not installed by Vigilo; left as it is.", target.string()));
    std::error_code error;
    fs::remove(target, error);
    if (error) return {kHelperFailed, fmt::format("cannot remove {}: {}", target.string(), error.message())};
    return {};
}

}  // namespace

HelperOutcome applyCliInstall(const CliInstallRequest& request, const HelperRoots& roots) {
    const fs::path target = roots.usrLocal / "bin" / "vigilo";
    if (request.executable.empty()) return removeOurWrapper(target);
    return installWrapper(request.executable, target, roots);
}

}  // namespace vigilo
