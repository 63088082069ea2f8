#include "helper/lid_drop_in.h"

#include <dirent.h>
#include <signal.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include <fmt/format.h>

#include "support/atomic_file.h"

namespace vigilo {
namespace {

constexpr std::string_view kDropIn =
    "[Login]\n"
    "HandleLidSwitch=ignore\n"
    "HandleLidSwitchExternalPower=ignore\n"
    "HandleLidSwitchDocked=ignore\n";

constexpr std::string_view kLogindComm = "systemd-logind";

bool isProcessFolderName(const char* name) {
    if (*name == '\0') return false;
    for (const char* c = name; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return false;
    }
    return true;
}

std::string readComm(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// Signals every process called systemd-logind; a restart would end every
// session's locks, a SIGHUP only re-reads logind.conf and its drop-ins.
HelperOutcome reloadLogind(const std::filesystem::path& procRoot) {
    DIR* folder = ::opendir(procRoot.c_str());
    if (folder == nullptr) return {kHelperFailed, fmt::format("cannot list {}: {}", procRoot.string(), std::strerror(errno))};
    int signalled = 0;
    while (const dirent* entry = ::readdir(folder)) {
        if (!isProcessFolderName(entry->d_name)) continue;
        if (readComm(procRoot / entry->d_name / "comm") != kLogindComm) continue;
        const long pid = std::strtol(entry->d_name, nullptr, 10);
        if (pid > 1 && ::kill(static_cast<pid_t>(pid), SIGHUP) == 0) ++signalled;
    }
    ::closedir(folder);
    if (signalled == 0) return {kHelperFailed, "systemd-logind is not running; the change applies when it next starts"};
    return {};
}

}  // namespace

HelperOutcome applyLidDropIn(bool on, const HelperRoots& roots) {
    const auto file = roots.run / "systemd" / "logind.conf.d" / "vigilo-lid.conf";
    if (on) {
        if (auto error = writeFileAtomically(file, kDropIn, 0644)) {
            return {kHelperFailed, fmt::format("cannot write {}: {}", file.string(), *error)};
        }
    } else {
        std::error_code error;
        std::filesystem::remove(file, error);
        if (error) return {kHelperFailed, fmt::format("cannot remove {}: {}", file.string(), error.message())};
    }
    return reloadLogind(roots.proc);
}

}  // namespace vigilo
