#include "ipc/ipc_paths.h"

#include <sys/un.h>

namespace vigilo {

SocketPath IPCPaths::socketPath(const XdgEnvironment& env) {
    auto runtime = resolveRuntimeDir(env);
    if (runtime.path.empty()) return {.error = runtime.error};
    const auto socket = socketPathIn(runtime.path, env.uid);
    return {.path = socket.string(), .lock = std::filesystem::path(socket).replace_extension(".lock").string()};
}

std::filesystem::path IPCPaths::socketPathIn(const std::filesystem::path& runtimeDir, uid_t uid) {
    return runtimeDir / ("vigilo-" + std::to_string(uid) + ".sock");
}

bool IPCPaths::fitsSocketAddress(const std::string& path) { return path.size() + 1 <= sizeof(sockaddr_un::sun_path); }

}  // namespace vigilo
