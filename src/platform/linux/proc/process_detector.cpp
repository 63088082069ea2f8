#include "platform/linux/proc/process_detector.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <string_view>

#include "support/utf8_text.h"
#include "platform/linux/proc/proc_cmdline.h"
#include "platform/linux/proc/proc_stat.h"

namespace vigilo {
namespace {

// A /proc entry names a process when it is a plain decimal number >= 1.
std::optional<std::int32_t> parsePid(const char* name) {
    const std::size_t length = std::strlen(name);
    if (length == 0 || length > 10 || name[0] < '1' || name[0] > '9') return std::nullopt;
    std::int32_t pid = 0;
    auto [end, ec] = std::from_chars(name, name + length, pid);
    if (ec != std::errc() || end != name + length) return std::nullopt;
    return pid;
}

ssize_t readRetrying(int fd, char* buffer, std::size_t size) {
    ssize_t n;
    do {
        n = ::read(fd, buffer, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

// The whole of a (small, generated) /proc file; false when it cannot be read.
bool readWhole(const std::string& path, std::string& contents) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    contents.clear();
    std::array<char, 4096> chunk;
    ssize_t n;
    while ((n = readRetrying(fd, chunk.data(), chunk.size())) > 0) {
        contents.append(chunk.data(), static_cast<std::size_t>(n));
    }
    ::close(fd);
    return n == 0;
}

// The short name in a "comm" file: up to the first NUL, without the newline
// the kernel ends it with.
std::string_view commName(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\0'));
    if (!bytes.empty() && bytes.back() == '\n') bytes.remove_suffix(1);
    return bytes;
}

}  // namespace

ProcessDetector::ProcessDetector(std::string procRoot)
    : ProcessDetector(std::move(procRoot), ::sysconf(_SC_CLK_TCK), ::sysconf(_SC_PAGESIZE)) {}

ProcessDetector::ProcessDetector(std::string procRoot, long ticksPerSecond, long pageSize)
    : root_(std::move(procRoot)), ticksPerSecond_(ticksPerSecond), pageSize_(pageSize) {}

std::string ProcessDetector::pidPath(std::int32_t pid, const char* file) const {
    return root_ + "/" + std::to_string(pid) + "/" + file;
}

std::vector<DetectedProcess> ProcessDetector::allRunning() const { return list(std::nullopt); }

std::vector<DetectedProcess> ProcessDetector::runningAs(uid_t uid) const { return list(uid); }

std::vector<DetectedProcess> ProcessDetector::list(std::optional<uid_t> owner) const {
    const int dirFd = ::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return {};
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return {};
    }
    std::vector<DetectedProcess> processes;
    processes.reserve(1024);
    std::array<char, 32> path;
    std::array<char, 256> name;  // comm is at most 64 bytes; the rest is slack
    while (const dirent* entry = ::readdir(dir)) {
        const auto pid = parsePid(entry->d_name);
        if (!pid) continue;
        // A process's folder belongs to its effective user.
        struct stat folder;
        if (owner && (::fstatat(dirFd, entry->d_name, &folder, 0) != 0 || folder.st_uid != *owner)) continue;
        // Opened relative to the listing, so no full path is built per process.
        const std::size_t length = std::strlen(entry->d_name);
        std::memcpy(path.data(), entry->d_name, length);
        std::memcpy(path.data() + length, "/comm", sizeof "/comm");
        const int fd = ::openat(dirFd, path.data(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;  // exited since the listing, or hidden from us
        const ssize_t n = readRetrying(fd, name.data(), name.size());
        ::close(fd);
        if (n <= 0) continue;
        const std::string_view bytes = commName({name.data(), static_cast<std::size_t>(n)});
        processes.push_back({*pid, decodeUtf8Lossy(bytes)});
    }
    ::closedir(dir);
    return processes;
}

std::optional<std::string> ProcessDetector::commandLine(std::int32_t pid) const {
    std::string raw;
    if (!readWhole(pidPath(pid, "cmdline"), raw)) return std::nullopt;

    std::string joined = joinProcCmdline(raw);
    if (!joined.empty()) return joined;

    // No arguments (kernel threads, or a process that wiped them): the
    // executable's path, or nothing when even that is hidden.
    std::array<char, 4096> target;
    const ssize_t n = ::readlink(pidPath(pid, "exe").c_str(), target.data(), target.size());
    if (n <= 0) return std::string();
    return decodeUtf8Lossy({target.data(), static_cast<std::size_t>(n)});
}

std::optional<ProcessUsage> ProcessDetector::resourceUsage(std::int32_t pid) const {
    // Read for every match at every poll, so in one read and without a heap
    // buffer: the kernel writes the line whole, and at about 52 numbers of at
    // most 20 digits and a name of at most 64 bytes it is far below 4 KiB.
    const int fd = ::open(pidPath(pid, "stat").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::array<char, 4096> line;
    const ssize_t n = readRetrying(fd, line.data(), line.size());
    ::close(fd);
    if (n <= 0 || static_cast<std::size_t>(n) == line.size()) return std::nullopt;
    return parseProcStat({line.data(), static_cast<std::size_t>(n)}, ticksPerSecond_, pageSize_);
}

}  // namespace vigilo
