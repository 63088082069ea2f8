#include "platform/linux/unix_socket.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/log.h"

namespace vigilo {

bool makeUnixAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() + 1 > sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

std::optional<uid_t> peerUidOf(int fd) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return std::nullopt;
    return credentials.uid;
}

UnixConnection::~UnixConnection() { ::close(fd_); }

long UnixConnection::send(const void* data, std::size_t size) {
    // MSG_NOSIGNAL: a peer that has gone away must not kill us with SIGPIPE.
    ssize_t n;
    do {
        n = ::send(fd_, data, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n;
}

void UnixConnection::shutdownWrite() { ::shutdown(fd_, SHUT_WR); }

void UnixConnection::setReadDeadline(int seconds) {
    deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
}

long UnixConnection::receive(void* buffer, std::size_t size) {
    for (;;) {
        if (deadline_) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline_ - std::chrono::steady_clock::now());
            pollfd pfd{fd_, POLLIN, 0};
            int ready = left.count() > 0 ? ::poll(&pfd, 1, static_cast<int>(left.count())) : 0;
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) return -1;
        }
        ssize_t n = ::recv(fd_, buffer, size, 0);
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

bool UnixSocketConnector::pathExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

ConnectResult UnixSocketConnector::connect(const std::string& path, int timeoutSeconds) {
    ConnectResult result;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        result.error = std::strerror(errno);
        return result;
    }
    timeval timeout{timeoutSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);

    sockaddr_un address{};
    if (!makeUnixAddress(path, address)) {
        ::close(fd);
        result.error = "socket path too long";
        return result;
    }
    int rc;
    do {
        rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int error = errno;
        ::close(fd);
        result.status = (error == ECONNREFUSED || error == ENOENT) ? ConnectResult::Status::noListener
                                                                     : ConnectResult::Status::failed;
        result.error = std::strerror(error);
        return result;
    }
    result.status = ConnectResult::Status::connected;
    result.connection = std::make_unique<UnixConnection>(fd);
    return result;
}

UnixListener::~UnixListener() { ::close(fd_); }

std::unique_ptr<LocalConnection> UnixListener::accept(int readTimeoutSeconds) {
    for (;;) {
        int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            auto connection = std::make_unique<UnixConnection>(fd);
            connection->setReadDeadline(readTimeoutSeconds);
            return connection;
        }
        // EINVAL: shut down. Anything else (a client that gave up before we
        // got to it, a transient shortage) only loses that one connection.
        if (errno == EINVAL || errno == EBADF) return nullptr;
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) ::poll(nullptr, 0, 100);
    }
}

void UnixListener::shutdown() { ::shutdown(fd_, SHUT_RDWR); }

std::unique_ptr<LocalListener> UnixSocketServer::listen(const std::string& path) {
    const Logger log("IPC");
    ::unlink(path.c_str());  // a stale socket from an earlier run
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        log.error("socket() failed: {}", std::strerror(errno));
        return nullptr;
    }
    sockaddr_un address{};
    if (!makeUnixAddress(path, address)) {
        log.error("socket path too long: {}", path);
        ::close(fd);
        return nullptr;
    }
    // The runtime folder is private, so the moment between bind and chmod
    // exposes nothing; the umask is process-wide and not ours to change.
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        log.error("bind() failed: {}", std::strerror(errno));
        ::close(fd);
        return nullptr;
    }
    ::chmod(path.c_str(), 0600);
    if (::listen(fd, 16) != 0) {
        log.error("listen() failed: {}", std::strerror(errno));
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<UnixListener>(fd);
}

void UnixSocketServer::removeFile(const std::string& path) { ::unlink(path.c_str()); }

}  // namespace vigilo
