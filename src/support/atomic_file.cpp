#include "support/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include <fmt/format.h>

namespace vigilo {

namespace {

std::string errnoText(const char* what) { return fmt::format("{}: {}", what, std::strerror(errno)); }

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void syncFolder(const std::filesystem::path& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

std::string temporaryNamePrefix(const std::string& fileName) { return "." + fileName + "."; }

std::optional<std::string> writeFileAtomically(const std::filesystem::path& path, std::string_view contents, mode_t mode) {
    const auto folder = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    if (auto error = createFoldersDurably(folder)) return error;

    std::string temp =
        (folder / (temporaryNamePrefix(path.filename().string()) + std::string(kTemporaryRandomLength, 'X'))).string();
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return errnoText("cannot create temporary file");

    std::optional<std::string> error;
    if (::fchmod(fd, mode) != 0) error = errnoText("chmod");
    if (!error && !writeAll(fd, contents)) error = errnoText("write");
    if (!error && ::fsync(fd) != 0) error = errnoText("fsync");
    if (::close(fd) != 0 && !error) error = errnoText("close");
    if (!error && ::rename(temp.c_str(), path.c_str()) != 0) error = errnoText("rename");
    if (error) {
        ::unlink(temp.c_str());
        return error;
    }
    syncFolder(folder);
    return std::nullopt;
}

std::optional<std::string> createFoldersDurably(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> missing;
    std::error_code ec;
    for (auto p = folder; !p.empty() && !std::filesystem::exists(p, ec); p = p.parent_path()) {
        missing.push_back(p);
        if (p == p.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0777) != 0 && errno != EEXIST) {
            return fmt::format("cannot create {}: {}", it->string(), std::strerror(errno));
        }
        syncFolder(it->has_parent_path() ? it->parent_path() : std::filesystem::path("."));
    }
    if (!std::filesystem::is_directory(folder, ec)) return fmt::format("cannot create {}: not a folder", folder.string());
    return std::nullopt;
}

}  // namespace vigilo
