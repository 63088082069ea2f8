#include "platform/linux/http/curl_http_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace vigilo {

namespace {

void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t discardBody(char*, size_t size, size_t count, void*) { return size * count; }

bool hasHeader(const HttpRequest& request, std::string_view name) {
    for (const auto& [key, value] : request.headers) {
        if (key.size() == name.size() &&
            std::equal(key.begin(), key.end(), name.begin(), [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); })) {
            return true;
        }
    }
    return false;
}

// A line break in a value would end the header and start another one that
// the value's author chose (a notification title is anyone's text), so every
// control character becomes a space.
std::string headerLine(const std::string& name, std::string value) {
    for (char& c : value) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) c = ' ';
    }
    return name + ": " + value;
}

}  // namespace

struct CurlHttpClient::Transfer {
    HttpRequest request;
    Completion done;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    char error[CURL_ERROR_SIZE] = {};

    ~Transfer() {
        if (easy) curl_easy_cleanup(easy);
        curl_slist_free_all(headers);
    }

    bool prepare() {
        easy = curl_easy_init();
        if (!easy) return false;
        curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(request.timeout.count()));
        curl_easy_setopt(easy, CURLOPT_USERAGENT, "Vigilo/1.0");
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, discardBody);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error);
        if (request.method == "POST") {
            curl_easy_setopt(easy, CURLOPT_POST, 1L);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.data());
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        } else if (request.method != "GET") {
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
        }
        for (const auto& [name, value] : request.headers) {
            headers = curl_slist_append(headers, headerLine(name, value).c_str());
        }
        // curl would otherwise add a form content type and a 100-continue
        // round trip the servers do not expect.
        if (!hasHeader(request, "Content-Type")) headers = curl_slist_append(headers, "Content-Type:");
        headers = curl_slist_append(headers, "Expect:");
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
        return true;
    }

    HttpResponse response(CURLcode code) const {
        HttpResponse out;
        if (code != CURLE_OK) {
            out.error = error[0] ? std::string(error) : std::string(curl_easy_strerror(code));
            return out;
        }
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &out.status);
        return out;
    }
};

CurlHttpClient::CurlHttpClient() {
    initialiseCurlOnce();
    thread_ = std::thread([this] { run(); });
}

CurlHttpClient::~CurlHttpClient() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        if (multi_) curl_multi_wakeup(multi_);
    }
    changed_.notify_one();
    thread_.join();
}

void CurlHttpClient::send(HttpRequest request, Completion done) {
    auto transfer = std::make_unique<Transfer>();
    transfer->request = std::move(request);
    transfer->done = std::move(done);
    {
        std::lock_guard lock(mutex_);
        queued_.push_back(std::move(transfer));
        if (multi_) curl_multi_wakeup(multi_);
    }
    changed_.notify_one();
}

void CurlHttpClient::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !queued_.empty(); });
        if (stopping_) return;
        lock.unlock();
        runUntilIdle();
        lock.lock();
    }
}

// libcurl opens its wake-up socket pair, resolver pipes and connections
// without close-on-exec, where no callback can mark them. A multi handle that
// lives only while requests are in flight leaves none of them open between
// requests, for a child process started then to inherit.
void CurlHttpClient::runUntilIdle() {
    CURLM* multi = curl_multi_init();
    std::map<CURL*, std::unique_ptr<Transfer>> active;
    for (;;) {
        std::deque<std::unique_ptr<Transfer>> incoming;
        {
            std::lock_guard lock(mutex_);
            incoming.swap(queued_);
            if (stopping_ || (incoming.empty() && active.empty())) {
                multi_ = nullptr;
                break;
            }
            multi_ = multi;
        }
        for (auto& transfer : incoming) {
            if (!multi || !transfer->prepare()) {
                transfer->done(HttpResponse{"could not create a transfer", 0});
                continue;
            }
            curl_multi_add_handle(multi, transfer->easy);
            active.emplace(transfer->easy, std::move(transfer));
        }
        if (active.empty()) continue;
        int running = 0;
        curl_multi_perform(multi, &running);
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg != CURLMSG_DONE) continue;
            CURL* easy = message->easy_handle;
            const CURLcode code = message->data.result;
            curl_multi_remove_handle(multi, easy);
            auto node = active.extract(easy);
            if (node.empty()) continue;
            auto& transfer = node.mapped();
            transfer->done(transfer->response(code));
        }
        if (!active.empty()) curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
    for (auto& [easy, transfer] : active) curl_multi_remove_handle(multi, easy);
    active.clear();
    if (multi) curl_multi_cleanup(multi);
}

}  // namespace vigilo
