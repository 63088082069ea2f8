#pragma once

#include <sys/socket.h>
#include <sys/stat.h>
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

// A connected Unix stream socket; closes the descriptor when destroyed. On a
// blocking one, a read or write that waited out the socket's time-out is
// timedOut; on a non-blocking one, nothing to move is wouldBlock.
class UnixConnection final : public LocalConnection {
public:
    UnixConnection(int fd, bool nonBlocking) : fd_(fd), nonBlocking_(nonBlocking) {}
    ~UnixConnection() override;
    UnixConnection(const UnixConnection&) = delete;
    UnixConnection& operator=(const UnixConnection&) = delete;

    int fd() const override { return fd_; }
    Transfer send(const void* data, std::size_t size) override;
    void shutdownWrite() override;
    Transfer receive(void* buffer, std::size_t size) override;
    std::optional<uid_t> peerUid() const override { return peerUidOf(fd_); }

private:
    Transfer nothingMoved(int error) const;

    int fd_;
    bool nonBlocking_;
};

class UnixSocketConnector final : public LocalSocketConnector {
public:
    bool pathExists(const std::string& path) override;
    ConnectResult connect(const std::string& path, std::chrono::milliseconds timeout) override;
};

class UnixListener final : public LocalListener {
public:
    // `fd` is non-blocking; `file` is what was bound at `path`, told apart by
    // device and inode.
    UnixListener(int fd, std::string path, const struct stat& file)
        : fd_(fd), path_(std::move(path)), device_(file.st_dev), inode_(file.st_ino) {}
    ~UnixListener() override;
    UnixListener(const UnixListener&) = delete;
    UnixListener& operator=(const UnixListener&) = delete;

    int fd() const override { return fd_; }
    AcceptResult accept() override;
    void removeSocketFile() override;

private:
    int fd_;
    std::string path_;
    dev_t device_;
    ino_t inode_;
};

// Binds in a fresh private folder beside the path, sets the mode there and
// then renames the socket into place, so that it is never visible with the
// mode the umask gave it. (The umask is process-wide and other threads
// create files.)
class UnixSocketServer final : public LocalSocketServer {
public:
    std::unique_ptr<LocalListener> listen(const std::string& path) override;
};

}  // namespace vigilo
