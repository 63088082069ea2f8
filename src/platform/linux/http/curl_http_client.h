#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/http_client.h"

typedef void CURLM;

namespace vigilo {

// HttpClient on libcurl's multi interface, driven by one thread of its own,
// so any number of slow requests neither block the main loop nor occupy the
// loop's background workers. Between requests it holds no descriptor: the
// multi handle, and with it every connection, lives only while requests are
// in flight.
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
    void runUntilIdle();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<Transfer>> queued_;
    bool stopping_ = false;
    // The multi handle of the requests in flight, for send() to wake it;
    // nullptr while idle. Guarded by mutex_.
    CURLM* multi_ = nullptr;
    std::thread thread_;
};

}  // namespace vigilo
