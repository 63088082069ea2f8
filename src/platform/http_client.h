#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vigilo {

struct HttpRequest {
    std::string method = "POST";
    std::string url;  // http:// or https://
    // Sent with every control character in a value (CR, LF, ...) replaced
    // by a space; names are the caller's constants.
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;  // sent as it is
    // The whole exchange, connecting included.
    std::chrono::milliseconds timeout{60000};
};

struct HttpResponse {
    // Set when no HTTP answer came back (no network, time-out, TLS failure).
    // Names hosts at most, never the address's path.
    std::optional<std::string> error;
    long status = 0;  // the HTTP status; 0 without an HTTP answer
};

// Sends HTTP requests off the caller's thread: one attempt each, no retry,
// certificates verified, redirects not followed, the response body ignored.
class HttpClient {
public:
    using Completion = std::function<void(HttpResponse)>;

    virtual ~HttpClient() = default;

    // Thread-safe; returns at once. `done` runs exactly once, on one of the
    // client's own threads, never inside send(). Requests still in flight
    // when the client is destroyed are dropped without their completion.
    virtual void send(HttpRequest request, Completion done) = 0;
};

}  // namespace vigilo
