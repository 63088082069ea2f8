#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <optional>
#include <string>

#include "platform/local_socket.h"

namespace vigilo {

// Fills a Unix-domain address; false when the path and its NUL do not fit.
bool makeUnixAddress(const std::string& path, sockaddr_un& address);

// The uid of the process at the other end of a connected Unix socket.
std::optional<uid_t> peerUidOf(int fd);

// A connected Unix stream socket; closes the descriptor when destroyed.
class UnixConnection final : public LocalConnection {
public:
    explicit UnixConnection(int fd) : fd_(fd) {}
    // Reads fail once `seconds` have passed from now, however the data trickles.
    void setReadDeadline(int seconds);
    ~UnixConnection() override;
    UnixConnection(const UnixConnection&) = delete;
    UnixConnection& operator=(const UnixConnection&) = delete;

    long send(const void* data, std::size_t size) override;
    void shutdownWrite() override;
    long receive(void* buffer, std::size_t size) override;
    std::optional<uid_t> peerUid() const override { return peerUidOf(fd_); }
    void abort() override { ::shutdown(fd_, SHUT_RDWR); }
    int fd() const { return fd_; }

private:
    int fd_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
};

class UnixSocketConnector final : public LocalSocketConnector {
public:
    bool pathExists(const std::string& path) override;
    ConnectResult connect(const std::string& path, int timeoutSeconds) override;
};

class UnixListener final : public LocalListener {
public:
    explicit UnixListener(int fd) : fd_(fd) {}
    ~UnixListener() override;
    UnixListener(const UnixListener&) = delete;
    UnixListener& operator=(const UnixListener&) = delete;

    std::unique_ptr<LocalConnection> accept(int readTimeoutSeconds) override;
    void shutdown() override;

private:
    int fd_;
};

class UnixSocketServer final : public LocalSocketServer {
public:
    std::unique_ptr<LocalListener> listen(const std::string& path) override;
    void removeFile(const std::string& path) override;
};

}  // namespace vigilo
