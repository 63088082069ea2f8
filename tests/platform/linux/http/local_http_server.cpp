#include "local_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace vigilo::testing {

namespace {

int boundSocket(int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) throw std::runtime_error("bind");
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

}  // namespace

std::optional<std::string> LocalHttpServer::Request::header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (lower(key) == lower(name)) return value;
    }
    return std::nullopt;
}

int closedPort() {
    int port = 0;
    ::close(boundSocket(port));
    return port;
}

LocalHttpServer::LocalHttpServer() {
    listenFd_ = boundSocket(port_);
    ::listen(listenFd_, 16);
    if (::pipe(stopPipe_) != 0) throw std::runtime_error("pipe");
    thread_ = std::thread([this] { run(); });
}

LocalHttpServer::~LocalHttpServer() {
    (void)!::write(stopPipe_[1], "x", 1);
    thread_.join();
    ::close(listenFd_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

std::string LocalHttpServer::url() const { return "http://127.0.0.1:" + std::to_string(port_); }

void LocalHttpServer::answer(const std::string& target, int status) {
    std::lock_guard lock(mutex_);
    statusByTarget_[target] = status;
}

void LocalHttpServer::delay(const std::string& target, std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    delayByTarget_[target] = delay;
}

std::vector<LocalHttpServer::Request> LocalHttpServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void LocalHttpServer::run() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        serve(client);
        ::close(client);
    }
}

void LocalHttpServer::serve(int fd) {
    std::string data;
    char buffer[4096];
    std::size_t headerEnd;
    while ((headerEnd = data.find("\r\n\r\n")) == std::string::npos) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) return;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    Request request;
    std::size_t lineEnd = data.find("\r\n");
    const std::string requestLine = data.substr(0, lineEnd);
    const auto firstSpace = requestLine.find(' ');
    const auto secondSpace = requestLine.find(' ', firstSpace + 1);
    request.method = requestLine.substr(0, firstSpace);
    request.target = requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    std::size_t contentLength = 0;
    for (std::size_t at = lineEnd + 2; at < headerEnd;) {
        const std::size_t end = data.find("\r\n", at);
        const std::string line = data.substr(at, end - at);
        const auto colon = line.find(':');
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        request.headers.emplace_back(line.substr(0, colon), value);
        if (lower(line.substr(0, colon)) == "content-length") contentLength = std::stoul(value);
        at = end + 2;
    }
    request.body = data.substr(headerEnd + 4);
    while (request.body.size() < contentLength) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        request.body.append(buffer, static_cast<std::size_t>(n));
    }
    int status = 200;
    std::chrono::milliseconds wait{0};
    {
        std::lock_guard lock(mutex_);
        if (auto it = statusByTarget_.find(request.target); it != statusByTarget_.end()) status = it->second;
        if (auto it = delayByTarget_.find(request.target); it != delayByTarget_.end()) wait = it->second;
        requests_.push_back(request);
    }
    if (wait.count() > 0) {
        pollfd stop{stopPipe_[0], POLLIN, 0};
        ::poll(&stop, 1, static_cast<int>(wait.count()));
    }
    const std::string reply =
        "HTTP/1.1 " + std::to_string(status) + " Test\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    (void)!::write(fd, reply.data(), reply.size());
}

}  // namespace vigilo::testing
