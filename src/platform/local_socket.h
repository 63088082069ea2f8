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
    // Returns bytes written (fewer when the peer stopped reading past the
    // connection's deadline) or -1; never raises SIGPIPE.
    virtual long send(const void* data, std::size_t size) = 0;
    virtual void shutdownWrite() = 0;
    // Returns bytes read, 0 at end of stream, -1 on error or time-out.
    virtual long receive(void* buffer, std::size_t size) = 0;
    virtual std::optional<uid_t> peerUid() const = 0;
    // Ends both directions so that a blocked receive returns; safe from
    // another thread.
    virtual void abort() = 0;
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

// A listening local stream socket.
class LocalListener {
public:
    virtual ~LocalListener() = default;
    // Blocks until a client connects. On accepted connections all reads
    // together give up after `timeoutSeconds`, and so does each send: a
    // client that stops reading cannot hold the server. nullptr once shut
    // down.
    virtual std::unique_ptr<LocalConnection> accept(int timeoutSeconds) = 0;
    // Makes a blocked accept() return; safe from another thread.
    virtual void shutdown() = 0;
    // Removes the socket file, but only while it is still the one this
    // listener created: a file someone else put there since is left alone.
    virtual void removeSocketFile() = 0;
};

// Creates the server side of Unix-domain sockets.
class LocalSocketServer {
public:
    virtual ~LocalSocketServer() = default;
    // Listens at `path` with a backlog of 16, replacing any file there; the
    // caller must own the path (hold the instance lock). The socket file
    // never shows there with a mode other than 0600. nullptr on failure,
    // which is logged.
    virtual std::unique_ptr<LocalListener> listen(const std::string& path) = 0;
};

}  // namespace vigilo
