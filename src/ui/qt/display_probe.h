#pragma once

#include <optional>
#include <string>

namespace vigilo {

// The local socket of an X display name (":1", ":1.0", "unix:1" ->
// "/tmp/.X11-unix/X1"); nothing for a remote or unreadable name.
std::optional<std::string> x11SocketPath(const std::string& display);

// Whether the display the environment names answers. Qt ends the process
// when it cannot open its display, so the tray role asks first and falls
// back to the daemon instead. A remote X display is taken on trust.
bool displayReachable();

}  // namespace vigilo
