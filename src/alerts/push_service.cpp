#include "alerts/push_service.h"

#include <chrono>
#include <utility>

#include "alerts/web_address.h"
#include "app/app_settings.h"

namespace vigilo {

namespace {

constexpr std::chrono::seconds kPushTimeout{60};

std::string trimHorizontalSpace(const std::string& text) {
    const auto isHorizontal = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t begin = 0, end = text.size();
    while (begin < end && isHorizontal(text[begin])) ++begin;
    while (end > begin && isHorizontal(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

}  // namespace

void PushService::send(PushProvider provider, const std::string& ntfyServer, const std::string& ntfyTopic,
                       const std::string& pushoverToken, const std::string& pushoverUser, const std::string& title,
                       const std::string& body, Done done) {
    switch (provider) {
    case PushProvider::none:
        break;
    case PushProvider::ntfy:
        return sendNtfy(ntfyServer, ntfyTopic, title, body, std::move(done));
    case PushProvider::pushover:
        return sendPushover(pushoverToken, pushoverUser, title, body, std::move(done));
    }
    if (done) done();
}

void PushService::sendNtfy(const std::string& server, const std::string& topic, const std::string& title,
                           const std::string& body, Done done) {
    const std::string base = server.empty() ? std::string(kDefaultNtfyServer) : server;
    const std::string trimmedTopic = trimHorizontalSpace(topic);
    const std::string url = base + (base.ends_with('/') ? "" : "/") + trimmedTopic;
    if (trimmedTopic.empty() || !isValidHttpUrl(url)) {
        log_.error("ntfy: invalid server/topic");
        if (done) done();
        return;
    }
    HttpRequest request{.method = "POST", .url = url, .body = body, .timeout = kPushTimeout};
    if (auto header = asciiWithoutDiacritics(title); !header.empty()) {
        request.headers.emplace_back("Title", std::move(header));
    }
    deliver(std::move(request), "ntfy", std::move(done));
}

void PushService::sendPushover(const std::string& token, const std::string& user, const std::string& title,
                               const std::string& body, Done done) {
    if (token.empty() || user.empty()) {
        log_.error("pushover: missing token/user");
        if (done) done();
        return;
    }
    HttpRequest request{.method = "POST",
                        .url = pushoverApiBase_ + "/1/messages.json",
                        .headers = {{"Content-Type", "application/x-www-form-urlencoded"}},
                        .body = formEncode({{"token", token}, {"user", user}, {"title", title}, {"message", body}}),
                        .timeout = kPushTimeout};
    deliver(std::move(request), "pushover", std::move(done));
}

void PushService::deliver(HttpRequest request, std::string label, Done done) {
    // Logger is cheap to copy; the service may be gone when the answer comes.
    http_.send(std::move(request), [log = log_, label = std::move(label), done = std::move(done)](HttpResponse response) {
        if (response.error) log.error("{} push error: {}", label, *response.error);
        else if (response.status < 200 || response.status > 299) log.error("{} push failed: HTTP {}", label, response.status);
        else log.info("{} push sent", label);
        if (done) done();
    });
}

}  // namespace vigilo
