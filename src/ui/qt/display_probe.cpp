#include "ui/qt/display_probe.h"

#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace vigilo {

namespace {

// `abstractName` tries the abstract address first, as the X server listens
// on both and a sandbox may hide /tmp. The connected descriptor, or -1.
int connectTo(const std::string& path, bool abstractName) {
    for (int attempt = abstractName ? 0 : 1; attempt < 2; ++attempt) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::size_t offset = attempt == 0 ? 1 : 0;
        if (path.size() + offset >= sizeof address.sun_path) return -1;
        std::memcpy(address.sun_path + offset, path.data(), path.size());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return -1;
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) return fd;
        ::close(fd);
    }
    return -1;
}

std::string environment(const char* name) {
    const char* value = ::getenv(name);
    return value ? value : "";
}

}  // namespace

std::optional<std::string> x11SocketPath(const std::string& display) {
    const auto colon = display.rfind(':');
    if (colon == std::string::npos) return std::nullopt;
    const std::string host = display.substr(0, colon);
    if (!host.empty() && host != "unix") return std::nullopt;
    std::string number = display.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    return "/tmp/.X11-unix/X" + number;
}

std::optional<DisplayProbe> DisplayProbe::connect() {
    if (const auto wayland = environment("WAYLAND_DISPLAY"); !wayland.empty()) {
        const auto path = wayland.front() == '/' ? wayland : environment("XDG_RUNTIME_DIR") + "/" + wayland;
        if (int fd = connectTo(path, false); fd >= 0) return DisplayProbe(fd);
    }
    const auto display = environment("DISPLAY");
    if (display.empty()) return std::nullopt;
    const auto socket = x11SocketPath(display);
    if (!socket) return DisplayProbe(-1);
    if (int fd = connectTo(*socket, true); fd >= 0) return DisplayProbe(fd);
    return std::nullopt;
}

DisplayProbe::~DisplayProbe() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace vigilo
