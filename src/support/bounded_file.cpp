#include "support/bounded_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fmt/format.h>

namespace vigilo {

namespace {

BoundedFile rejected(std::string problem) {
    return {BoundedFile::Status::rejected, {}, std::move(problem)};
}

std::string tooBig(std::uintmax_t size) { return fmt::format("{} bytes is too big", size); }

}  // namespace

BoundedFile readBoundedFile(const std::filesystem::path& path, std::uintmax_t maxBytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT) return {};
        return rejected(fmt::format("cannot be opened: {}", std::strerror(errno)));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat info {};
    if (::fstat(fd, &info) != 0) return rejected(fmt::format("cannot be read: {}", std::strerror(errno)));
    if (!S_ISREG(info.st_mode)) return rejected("not a regular file");
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        return rejected(tooBig(static_cast<std::uintmax_t>(info.st_size)));
    }

    // The size may change between fstat and read: read at most one byte
    // more than allowed, to tell a file that grew past the limit.
    std::string contents(static_cast<std::size_t>(info.st_size) + 1, '\0');
    std::size_t used = 0;
    for (;;) {
        if (used == contents.size()) {
            if (contents.size() > maxBytes) return rejected(tooBig(contents.size()));
            contents.resize(std::min<std::uintmax_t>(contents.size() * 2, maxBytes + 1));
        }
        const ssize_t n = ::read(fd, contents.data() + used, contents.size() - used);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return rejected(fmt::format("cannot be read: {}", std::strerror(errno)));
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    contents.resize(used);
    return {BoundedFile::Status::ok, std::move(contents), {}};
}

}  // namespace vigilo
