#include "support/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

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

std::optional<std::string> writeFileAtomically(const std::filesystem::path& path, std::string_view contents, mode_t mode) {
    const auto folder = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return fmt::format("cannot create {}: {}", folder.string(), ec.message());

    std::string temp = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
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

std::optional<std::string> readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return std::move(buffer).str();
}

}  // namespace vigilo
