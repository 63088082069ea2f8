#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace vigilo::testing {

// A minimal HTTP/1.1 server on 127.0.0.1 for tests: records every request as
// it arrives and answers each with an empty body and the status set for its
// path (200 unless told otherwise), then closes the connection.
class LocalHttpServer {
public:
    struct Request {
        std::string method;
        std::string target;  // path and query as sent
        std::vector<std::pair<std::string, std::string>> headers;
        std::string body;
        // The value of a header (name in any case); nullopt when absent.
        std::optional<std::string> header(const std::string& name) const;
    };

    LocalHttpServer();
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    // "http://127.0.0.1:<port>", no trailing "/".
    std::string url() const;
    void answer(const std::string& target, int status);
    // Answers `target` only after `delay` (for time-out tests).
    void delay(const std::string& target, std::chrono::milliseconds delay);

    std::vector<Request> requests() const;

private:
    void run();
    void serve(int fd);

    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    int port_ = 0;
    mutable std::mutex mutex_;
    std::map<std::string, int> statusByTarget_;
    std::map<std::string, std::chrono::milliseconds> delayByTarget_;
    std::vector<Request> requests_;
    std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens.
int closedPort();

}  // namespace vigilo::testing
