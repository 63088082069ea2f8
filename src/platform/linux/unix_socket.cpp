#include "platform/linux/unix_socket.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

long UnixConnection::receive(void* buffer, std::size_t size) {
    ssize_t n;
    do {
        n = ::recv(fd_, buffer, size, 0);
    } while (n < 0 && errno == EINTR);
    return n;
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

}  // namespace vigilo
