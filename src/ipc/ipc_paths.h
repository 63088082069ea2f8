#pragma once

#include <filesystem>
#include <string>

#include "support/xdg_paths.h"

namespace vigilo {

struct SocketPath {
    std::string path;   // empty when there is no usable runtime folder
    std::string lock;   // the application's instance lock, beside the socket
    std::string error;  // why not
};

// The per-user socket: "vigilo-<uid>.sock" in the private runtime folder,
// and beside it "vigilo-<uid>.lock", whose holder alone may serve the
// socket. Both sides compute them the same way.
class IPCPaths {
public:
    static SocketPath socketPath(const XdgEnvironment& env);
    // The file name alone, for a given runtime folder.
    static std::filesystem::path socketPathIn(const std::filesystem::path& runtimeDir, uid_t uid);
    // Whether the path and its terminating NUL fit a socket address.
    static bool fitsSocketAddress(const std::string& path);
};

}  // namespace vigilo
