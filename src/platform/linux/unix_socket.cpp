#include "platform/linux/unix_socket.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

Transfer UnixConnection::nothingMoved(int error) const {
    if (error == EAGAIN || error == EWOULDBLOCK) {
        return {nonBlocking_ ? Transfer::Status::wouldBlock : Transfer::Status::timedOut};
    }
    return {Transfer::Status::failed};
}

Transfer UnixConnection::send(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    std::size_t sent = 0;
    while (sent < size) {
        // MSG_NOSIGNAL: a peer that has gone away must not kill us with SIGPIPE.
        const ssize_t n = ::send(fd_, bytes + sent, size - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (sent > 0) break;
            return nothingMoved(errno);
        }
        sent += static_cast<std::size_t>(n);
    }
    return {Transfer::Status::moved, sent};
}

void UnixConnection::shutdownWrite() { ::shutdown(fd_, SHUT_WR); }

Transfer UnixConnection::receive(void* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return nothingMoved(errno);
        if (n == 0) return {Transfer::Status::ended};
        return {Transfer::Status::moved, static_cast<std::size_t>(n)};
    }
}

bool UnixSocketConnector::pathExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

ConnectResult UnixSocketConnector::connect(const std::string& path, std::chrono::milliseconds timeout) {
    ConnectResult result;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        result.error = std::strerror(errno);
        return result;
    }
    const auto ms = std::max<long long>(timeout.count(), 1);  // zero would mean no time-out at all
    const timeval limit{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>(ms % 1000 * 1000)};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);

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
        // EAGAIN: the listener's backlog stayed full for the whole time-out.
        result.status = error == ECONNREFUSED || error == ENOENT ? ConnectResult::Status::noListener
                        : error == EAGAIN                        ? ConnectResult::Status::timedOut
                                                                 : ConnectResult::Status::failed;
        result.error = std::strerror(error);
        return result;
    }
    result.status = ConnectResult::Status::connected;
    result.connection = std::make_unique<UnixConnection>(fd, false);
    return result;
}

UnixListener::~UnixListener() { ::close(fd_); }

AcceptResult UnixListener::accept() {
    for (;;) {
        const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) return {AcceptResult::Status::accepted, std::make_unique<UnixConnection>(fd, true)};
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
            return {AcceptResult::Status::shortOfResources};
        }
        // A client that gave up before we got to it (ECONNABORTED) only loses
        // its own connection; the next one may be waiting behind it.
        if (errno != EINTR && errno != ECONNABORTED && errno != EPROTO) return {AcceptResult::Status::noneWaiting};
    }
}

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
    // The loop accepts when the socket is readable; a client that gives up
    // in between must not leave accept() blocking the main thread.
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) != 0) return failed("fcntl");
    // Replaces a stale socket of an earlier run in one step.
    if (::rename(bound.c_str(), path.c_str()) != 0) return failed("bind");
    return std::make_unique<UnixListener>(fd, path, file);
}

}  // namespace vigilo
