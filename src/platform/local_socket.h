#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace vigilo {

// One connected local stream socket. Owns the descriptor.
class LocalConnection {
public:
    virtual ~LocalConnection() = default;
    // Returns bytes written or -1; never raises SIGPIPE.
    virtual long send(const void* data, std::size_t size) = 0;
    virtual void shutdownWrite() = 0;
    // Returns bytes read, 0 at end of stream, -1 on error or time-out.
    virtual long receive(void* buffer, std::size_t size) = 0;
    virtual std::optional<uid_t> peerUid() const = 0;
};

struct ConnectResult {
    enum class Status { connected, noListener, failed };
    Status status = Status::failed;
    std::unique_ptr<LocalConnection> connection;
    std::string error;  // the system's error text when failed
};

// Opens client connections to Unix-domain sockets.
class LocalSocketConnector {
public:
    virtual ~LocalSocketConnector() = default;
    virtual bool pathExists(const std::string& path) = 0;
    // Connects with send and receive time-outs of `timeoutSeconds` whole
    // seconds. A refused connection or a vanished file is noListener.
    virtual ConnectResult connect(const std::string& path, int timeoutSeconds) = 0;
};

}  // namespace vigilo
