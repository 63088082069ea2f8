#include "platform/linux/desktop/kde_config_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <system_error>
#include <vector>

#include "support/atomic_file.h"
#include "support/bounded_file.h"
#include "support/log.h"
#include "support/utf8_text.h"

namespace vigilo {

namespace fs = std::filesystem;

namespace {

const Logger& clamshellLog() {
    static const Logger log("Clamshell");
    return log;
}

bool inGroup(gid_t group) {
    if (group == ::getegid()) return true;
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(count > 0 ? static_cast<std::size_t>(count) : 0);
    const int got = ::getgroups(count, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[static_cast<std::size_t>(i)] == group) return true;
    return false;
}

// The kernel lets root write anything, and access() says so; a file its
// owner made read-only is still meant to stay as it is, so the mode's own
// word is asked as well.
bool userMayWrite(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || ::access(path.c_str(), W_OK) != 0) return false;
    if (st.st_uid == ::geteuid()) return (st.st_mode & S_IWUSR) != 0;
    if (inGroup(st.st_gid)) return (st.st_mode & S_IWGRP) != 0;
    return (st.st_mode & S_IWOTH) != 0;
}

}  // namespace

std::optional<IniText> readKdeConfig(const fs::path& path) {
    const auto file = readBoundedFile(path, kMaxKdeConfigBytes);
    if (file.status == BoundedFile::Status::missing) return IniText("");
    std::string problem = file.problem;
    if (file.status == BoundedFile::Status::ok &&
        (file.contents.find('\0') != std::string::npos || !isValidUtf8(file.contents)))
        problem = "not a text file";
    if (!problem.empty() || file.status != BoundedFile::Status::ok) {
        clamshellLog().error("KDE lid settings left alone: {}: {}", path.string(), problem);
        return std::nullopt;
    }
    return IniText(file.contents);
}

std::optional<std::string> whyKdeConfigIsNotWritable(const fs::path& path) {
    std::error_code error;
    const bool linked = fs::is_symlink(path, error);
    const bool exists = fs::exists(path, error);
    if (linked && !exists) return "is a link to a missing file";
    if (exists && !userMayWrite(path)) return "cannot be written by this user";
    // The new file is renamed into place: its folder must take it.
    const fs::path target = linked ? fs::canonical(path, error) : path;
    if (error) return "cannot be resolved: " + error.message();
    const fs::path folder = target.parent_path();
    if (fs::exists(folder, error) && !userMayWrite(folder)) return "is in a folder this user cannot write";
    return std::nullopt;
}

bool writeKdeConfig(const fs::path& path, const IniText& config, bool removeIfEmpty) {
    if (auto problem = whyKdeConfigIsNotWritable(path)) {
        clamshellLog().error("KDE lid settings not written: {} {}", path.string(), *problem);
        return false;
    }
    std::error_code error;
    const bool linked = fs::is_symlink(path, error);
    const fs::path target = linked ? fs::canonical(path, error) : path;
    const std::string text = config.text();
    if (text.empty() && removeIfEmpty && !linked) {
        fs::remove(target, error);
        if (!error) return true;
    }
    struct stat st {};
    const mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0600;
    if (auto failure = writeFileAtomically(target, text, mode)) {
        clamshellLog().error("KDE lid settings not written: {}: {}", path.string(), *failure);
        return false;
    }
    return true;
}

}  // namespace vigilo
