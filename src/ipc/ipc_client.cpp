#include "ipc/ipc_client.h"

#include <sys/types.h>
#include <unistd.h>

#include "ipc/ipc_framing.h"
#include "ipc/ipc_paths.h"
#include "support/tr.h"

namespace vigilo {

ClientError::ClientError(Kind kind, std::string message) : kind_(kind) {
    switch (kind_) {
    case Kind::io: description_ = "IO error: " + message; break;
    case Kind::decode: description_ = "Decode error: " + message; break;
    case Kind::daemonNotRunning: description_ = tr("Vigilo isn't running. Open the app first, then re-run."); break;
    }
}

IPCResponse IPCClient::send(const IPCRequest& request, double timeoutSeconds, const std::string& socketPath,
                            LocalSocketConnector& connector) {
    if (!connector.pathExists(socketPath)) throw ClientError::daemonNotRunning();
    if (!IPCPaths::fitsSocketAddress(socketPath)) throw ClientError::io("socket path too long");

    auto connected = connector.connect(socketPath, static_cast<int>(timeoutSeconds));
    switch (connected.status) {
    case ConnectResult::Status::noListener: throw ClientError::daemonNotRunning();
    case ConnectResult::Status::failed: throw ClientError::io(connected.error);
    case ConnectResult::Status::connected: break;
    }
    LocalConnection& connection = *connected.connection;

    // Another user could have put a listener at our path (a shared /tmp).
    if (connection.peerUid() != ::getuid()) throw ClientError::io("server is not owned by this user");

    const std::string wire = encodeRequest(request) + "\n";
    if (connection.send(wire.data(), wire.size()) != static_cast<long>(wire.size())) {
        throw ClientError::io("short write");
    }
    connection.shutdownWrite();

    const std::string reply = readMessage(connection, false);
    if (reply.empty()) throw ClientError::io("empty response");
    auto decoded = decodeResponse(reply);
    if (auto* error = std::get_if<std::string>(&decoded)) throw ClientError::decode(*error);
    return std::get<IPCResponse>(decoded);
}

}  // namespace vigilo
