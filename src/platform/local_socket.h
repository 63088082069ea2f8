#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace vigilo {

// What one send or receive came to: bytes moved, or why none were.
struct Transfer {
    enum class Status {
        moved,       // `bytes` (at least one) went through
        ended,       // receive: the peer ended its side
        wouldBlock,  // non-blocking connection: nothing can move just now
        timedOut,    // blocking connection: nothing moved within its time-out
        failed,      // the connection is broken (a peer that left, a reset)
    };
    Status status = Status::failed;
    std::size_t bytes = 0;
};

// One connected local stream socket. Owns the descriptor.
class LocalConnection {
public:
    virtual ~LocalConnection() = default;
    // For the loop to watch; stays owned by the connection.
    virtual int fd() const = 0;
    // Never raises SIGPIPE. A blocking connection sends everything unless it
    // times out or fails; a non-blocking one what fits now.
    virtual Transfer send(const void* data, std::size_t size) = 0;
    virtual void shutdownWrite() = 0;
    virtual Transfer receive(void* buffer, std::size_t size) = 0;
    virtual std::optional<uid_t> peerUid() const = 0;
};

struct ConnectResult {
    enum class Status { connected, noListener, timedOut, failed };
    Status status = Status::failed;
    std::unique_ptr<LocalConnection> connection;
    std::string error;  // the system's error text when failed
};

// Opens client connections to Unix-domain sockets.
class LocalSocketConnector {
public:
    virtual ~LocalSocketConnector() = default;
    virtual bool pathExists(const std::string& path) = 0;
    // Opens a blocking connection. Connecting (to a listener whose backlog
    // is full), each send and each receive give up after `timeout` without
    // progress. A refused connection or a vanished file is noListener.
    virtual ConnectResult connect(const std::string& path, std::chrono::milliseconds timeout) = 0;
};

struct AcceptResult {
    enum class Status {
        accepted,
        noneWaiting,
        // Out of descriptors or memory: the connection stays queued, and
        // asking again at once would only fail again.
        shortOfResources,
    };
    Status status = Status::noneWaiting;
    std::unique_ptr<LocalConnection> connection;  // non-blocking
};

// A listening local stream socket, for the loop to watch.
class LocalListener {
public:
    virtual ~LocalListener() = default;
    // Readable while a client waits to be accepted.
    virtual int fd() const = 0;
    // Takes one waiting client without blocking. A client that gave up
    // before it was taken is skipped.
    virtual AcceptResult accept() = 0;
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
