#pragma once

#include <optional>
#include <string>
#include <utility>

namespace vigilo {

// The local socket of an X display name (":1", ":1.0", "unix:1" ->
// "/tmp/.X11-unix/X1"); nothing for a remote or unreadable name.
std::optional<std::string> x11SocketPath(const std::string& display);

// A connection to the display the environment names, or nothing when it
// does not answer. Qt ends the process when it cannot open its display, so
// the tray role asks first and falls back to the daemon instead. A remote X
// display is taken on trust (-1 then stands for it).
//
// Keep it open until Qt has its own connection: an X server with no other
// client resets when the last one leaves, and a connection made during the
// reset fails.
class DisplayProbe {
public:
    static std::optional<DisplayProbe> connect();
    DisplayProbe(DisplayProbe&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    DisplayProbe& operator=(DisplayProbe&&) = delete;
    ~DisplayProbe();

private:
    explicit DisplayProbe(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace vigilo
