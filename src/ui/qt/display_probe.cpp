#include "ui/qt/display_probe.h"

#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace vigilo {

namespace {

// `abstractName` tries the abstract address first, as the X server listens
// on both and a sandbox may hide /tmp.
bool connects(const std::string& path, bool abstractName) {
    for (int attempt = abstractName ? 0 : 1; attempt < 2; ++attempt) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::size_t offset = attempt == 0 ? 1 : 0;
        if (path.size() + offset >= sizeof address.sun_path) return false;
        std::memcpy(address.sun_path + offset, path.data(), path.size());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
        const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
        ::close(fd);
        if (ok) return true;
    }
    return false;
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

bool displayReachable() {
    if (const auto wayland = environment("WAYLAND_DISPLAY"); !wayland.empty()) {
        const auto path = wayland.front() == '/' ? wayland : environment("XDG_RUNTIME_DIR") + "/" + wayland;
        if (connects(path, false)) return true;
    }
    const auto display = environment("DISPLAY");
    if (display.empty()) return false;
    const auto socket = x11SocketPath(display);
    return !socket || connects(*socket, true);
}

}  // namespace vigilo
