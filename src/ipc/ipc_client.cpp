#include "ipc/ipc_client.h"

#include <sys/types.h>
#include <unistd.h>

#include <chrono>

#include "ipc/ipc_framing.h"
#include "ipc/ipc_paths.h"
#include "support/tr.h"

namespace vigilo {

ClientError::ClientError(Kind kind, std::string message) : kind_(kind) {
    switch (kind_) {
    case Kind::io: description_ = "IO error: " + message; break;
    case Kind::decode: description_ = "Decode error: " + message; break;
    case Kind::daemonNotRunning: description_ = tr("Vigilo isn't running. Open the app first, then re-run."); break;
    case Kind::timedOut: description_ = tr("The running Vigilo did not answer in time."); break;
    }
}

IPCResponse IPCClient::send(const IPCRequest& request, double timeoutSeconds, const std::string& socketPath,
                            LocalSocketConnector& connector) {
    if (!connector.pathExists(socketPath)) throw ClientError::daemonNotRunning();
    if (!IPCPaths::fitsSocketAddress(socketPath)) throw ClientError::io("socket path too long");

    const auto timeout = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::duration<double>(timeoutSeconds));
    auto connected = connector.connect(socketPath, timeout);
    switch (connected.status) {
    case ConnectResult::Status::noListener: throw ClientError::daemonNotRunning();
    case ConnectResult::Status::timedOut: throw ClientError::timedOut();
    case ConnectResult::Status::failed: throw ClientError::io(connected.error);
    case ConnectResult::Status::connected: break;
    }
    LocalConnection& connection = *connected.connection;

    // Another user could have put a listener at our path (a shared /tmp).
    if (connection.peerUid() != ::getuid()) throw ClientError::io("server is not owned by this user");

    const std::string wire = encodeRequest(request) + "\n";
    const Transfer sent = connection.send(wire.data(), wire.size());
    if (sent.status == Transfer::Status::timedOut) throw ClientError::timedOut();
    if (sent.bytes != wire.size()) throw ClientError::io("short write");
    connection.shutdownWrite();

    MessageReader reader(false);
    reader.readFrom(connection);
    // Part of a reply and then silence is no answer either.
    if (reader.timedOut()) throw ClientError::timedOut();
    const std::string& reply = reader.data();
    if (reply.empty()) throw ClientError::io("empty response");
    auto decoded = decodeResponse(reply);
    if (auto* error = std::get_if<std::string>(&decoded)) throw ClientError::decode(*error);
    return std::get<IPCResponse>(decoded);
}

}  // namespace vigilo
