#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/http_client.h"

typedef void CURLM;

namespace vigilo {

// HttpClient on libcurl's multi interface, driven by one thread of its own,
// so any number of slow requests neither block the main loop nor occupy the
// loop's background workers.
class CurlHttpClient final : public HttpClient {
public:
    CurlHttpClient();
    ~CurlHttpClient() override;
    CurlHttpClient(const CurlHttpClient&) = delete;
    CurlHttpClient& operator=(const CurlHttpClient&) = delete;

    void send(HttpRequest request, Completion done) override;

private:
    struct Transfer;
    void run();

    CURLM* multi_ = nullptr;
    std::mutex mutex_;
    std::deque<std::unique_ptr<Transfer>> queued_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace vigilo
