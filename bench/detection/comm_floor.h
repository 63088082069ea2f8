#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstring>

namespace vigilo::bench {

// The floor of any poll of the process table by name: list /proc and open,
// read and close every <pid>/comm, nothing else. Returns the bytes read, or
// -1 when /proc cannot be listed.
inline long readEveryComm() {
    DIR* dir = ::opendir("/proc");
    if (!dir) return -1;
    const int dirFd = ::dirfd(dir);
    std::array<char, 64> path;
    std::array<char, 256> buffer;
    long total = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
        const std::size_t length = std::strlen(entry->d_name);
        std::memcpy(path.data(), entry->d_name, length);
        std::memcpy(path.data() + length, "/comm", sizeof "/comm");
        const int fd = ::openat(dirFd, path.data(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        ::close(fd);
        if (n > 0) total += n;
    }
    ::closedir(dir);
    return total;
}

}  // namespace vigilo::bench
