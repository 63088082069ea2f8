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

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

// Waits until `fd` is ready for `events`; false once `deadline` has passed.
bool waitReady(int fd, short events, SteadyTime deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd pfd{fd, events, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(left.count()));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

}  // namespace

UnixConnection::~UnixConnection() { ::close(fd_); }

long UnixConnection::send(const void* data, std::size_t size) {
    // MSG_NOSIGNAL: a peer that has gone away must not kill us with SIGPIPE.
    if (!timeout_) {
        ssize_t n;
        do {
            n = ::send(fd_, data, size, MSG_NOSIGNAL);
        } while (n < 0 && errno == EINTR);
        return n;
    }
    const auto deadline = std::chrono::steady_clock::now() + *timeout_;
    const auto* bytes = static_cast<const char*>(data);
    std::size_t sent = 0;
    while (sent < size) {
        const ssize_t n = ::send(fd_, bytes + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) {
            sent += static_cast<std::size_t>(n);
        } else if (errno == EINTR) {
            continue;
        } else if (errno != EAGAIN || !waitReady(fd_, POLLOUT, deadline)) {
            break;
        }
    }
    return sent > 0 ? static_cast<long>(sent) : -1;
}

void UnixConnection::shutdownWrite() { ::shutdown(fd_, SHUT_WR); }

void UnixConnection::setTimeout(int seconds) {
    timeout_ = std::chrono::seconds(seconds);
    readDeadline_ = std::chrono::steady_clock::now() + *timeout_;
}

long UnixConnection::receive(void* buffer, std::size_t size) {
    for (;;) {
        if (timeout_ && !waitReady(fd_, POLLIN, readDeadline_)) return -1;
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

std::unique_ptr<LocalConnection> UnixListener::accept(int timeoutSeconds) {
    for (;;) {
        int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            auto connection = std::make_unique<UnixConnection>(fd);
            connection->setTimeout(timeoutSeconds);
            return connection;
        }
        // EINVAL: shut down. Anything else (a client that gave up before we
        // got to it, a transient shortage) only loses that one connection.
        if (errno == EINVAL || errno == EBADF) return nullptr;
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) ::poll(nullptr, 0, 100);
    }
}

void UnixListener::shutdown() { ::shutdown(fd_, SHUT_RDWR); }

void UnixListener::removeSocketFile() {
    struct stat st {};
    if (::lstat(path_.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) return;
    if (st.st_dev == device_ && st.st_ino == inode_) ::unlink(path_.c_str());
}

namespace {

// A folder only we can enter, where the socket is bound before it is moved
// into place; removed with whatever is left in it.
class PrivateBindFolder {
public:
    explicit PrivateBindFolder(const std::string& socketPath) {
        const auto slash = socketPath.rfind('/');
        folder_ = (slash == std::string::npos ? std::string() : socketPath.substr(0, slash + 1)) + ".vigilo.XXXXXX";
        if (!::mkdtemp(folder_.data())) folder_.clear();
    }
    ~PrivateBindFolder() {
        if (folder_.empty()) return;
        ::unlink(socketPath().c_str());
        ::rmdir(folder_.c_str());
    }
    PrivateBindFolder(const PrivateBindFolder&) = delete;
    PrivateBindFolder& operator=(const PrivateBindFolder&) = delete;

    bool created() const { return !folder_.empty(); }
    std::string socketPath() const { return folder_ + "/s"; }

private:
    std::string folder_;
};

}  // namespace

std::unique_ptr<LocalListener> UnixSocketServer::listen(const std::string& path) {
    const Logger log("IPC");
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        log.error("socket() failed: {}", std::strerror(errno));
        return nullptr;
    }
    auto fail = [&](const std::string& message) {
        log.error("{}", message);
        ::close(fd);
        return std::unique_ptr<LocalListener>();
    };
    auto failed = [&](const char* call) { return fail(fmt::format("{}() failed: {}", call, std::strerror(errno))); };
    sockaddr_un address{};
    if (!makeUnixAddress(path, address)) return fail("socket path too long: " + path);

    PrivateBindFolder folder(path);
    if (!folder.created()) return failed("bind");
    const std::string bound = folder.socketPath();
    sockaddr_un boundAddress{};
    if (!makeUnixAddress(bound, boundAddress)) return fail("socket path too long: " + bound);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&boundAddress), sizeof boundAddress) != 0) {
        return failed("bind");
    }
    struct stat file {};
    if (::chmod(bound.c_str(), 0600) != 0 || ::lstat(bound.c_str(), &file) != 0) {
        return failed("bind");
    }
    if (::listen(fd, 16) != 0) return failed("listen");
    // Replaces a stale socket of an earlier run in one step.
    if (::rename(bound.c_str(), path.c_str()) != 0) return failed("bind");
    return std::make_unique<UnixListener>(fd, path, file);
}

}  // namespace vigilo
