#include "platform/linux/inhibitors/holder_processes.h"

#include <sys/stat.h>

#include <charconv>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>

#include "platform/linux/proc/proc_cmdline.h"

namespace vigilo {

namespace {

// Bounded reads: a name is 16 bytes, a command line is cut where a row would be anyway.
constexpr std::size_t kMaxCommandLineBytes = 4096;

std::string readBounded(const std::filesystem::path& path, std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string text(limit, '\0');
    in.read(text.data(), static_cast<std::streamsize>(limit));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

std::optional<std::uint32_t> ownerOf(const std::filesystem::path& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) return std::nullopt;
    return info.st_uid;
}

std::optional<std::int32_t> numberNamed(const std::string& name) {
    std::int32_t value = 0;
    auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), value);
    if (error != std::errc() || end != name.data() + name.size() || value <= 0) return std::nullopt;
    return value;
}

// The parent pid in /proc/<pid>/stat: the field after the state, counted
// from the last ")" because the name may hold anything.
std::optional<std::int32_t> parentOf(const std::filesystem::path& statFile) {
    const std::string text = readBounded(statFile, 1024);
    const auto close = text.rfind(')');
    if (close == std::string::npos || close + 4 >= text.size()) return std::nullopt;
    const auto start = text.find(' ', close + 3);
    if (start == std::string::npos) return std::nullopt;
    const auto end = text.find(' ', start + 1);
    return numberNamed(text.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1));
}

// The lowest-numbered child of each of `parents`, in one pass over the tree.
std::map<std::int32_t, std::int32_t> firstChildren(const std::set<std::int32_t>& parents,
                                                   const std::filesystem::path& procRoot) {
    std::map<std::int32_t, std::int32_t> children;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(procRoot, error)) {
        auto pid = numberNamed(entry.path().filename().string());
        if (!pid) continue;
        auto parent = parentOf(entry.path() / "stat");
        if (!parent || !parents.contains(*parent)) continue;
        auto [it, added] = children.try_emplace(*parent, *pid);
        if (!added && *pid < it->second) it->second = *pid;
    }
    return children;
}

bool waitsForAnother(const std::string& name) {
    return name == "systemd-inhibit" || name == "vigilo" || name == "vigilo-app";
}

}  // namespace

void describeHolders(std::vector<LogindLock>& locks, const std::filesystem::path& procRoot) {
    std::set<std::int32_t> launchers;
    for (auto& lock : locks) {
        if (lock.pid == 0) continue;
        const auto folder = procRoot / std::to_string(lock.pid);
        std::string name = readBounded(folder / "comm", 64);
        while (!name.empty() && name.back() == '\n') name.pop_back();
        lock.holder.name = std::move(name);
        lock.holder.owner = ownerOf(folder);
        if (waitsForAnother(lock.holder.name)) launchers.insert(static_cast<std::int32_t>(lock.pid));
    }
    if (launchers.empty()) return;
    const auto children = firstChildren(launchers, procRoot);
    for (auto& lock : locks) {
        auto found = children.find(static_cast<std::int32_t>(lock.pid));
        if (found == children.end()) continue;
        const auto folder = procRoot / std::to_string(found->second);
        auto owner = ownerOf(folder);
        if (!owner) continue;
        lock.holder.child = HolderProcess::Child{
            .pid = found->second,
            .owner = *owner,
            .commandLine = joinProcCmdline(readBounded(folder / "cmdline", kMaxCommandLineBytes))};
    }
}

}  // namespace vigilo
