#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/http_client.h"
#include "support/log.h"

namespace vigilo {

inline constexpr const char* kTelegramApiBase = "https://api.telegram.org";

// Builds and sends the webhook requests of each channel. Every failure is at
// most one log line of the "Webhook" category and a false result; addresses
// are never logged (the Telegram token is part of its path). Safe from any
// thread; `http` must outlive it and every request it started.
class WebhookService {
public:
    // Called once on one of the HTTP client's threads, or at once (inside
    // the call) when nothing is sent.
    using Result = std::function<void(bool sent)>;
    using Fields = std::vector<std::pair<std::string, std::string>>;

    explicit WebhookService(HttpClient& http, std::string telegramApiBase = kTelegramApiBase)
        : http_(http), telegramApiBase_(std::move(telegramApiBase)) {}

    void sendTelegram(const std::string& token, const std::string& chatID, const std::string& text, Result done);
    void sendDiscord(const std::string& url, const std::string& text, Result done);
    void sendSlack(const std::string& url, const std::string& text, Result done);

    // POSTs the fields as one compact JSON object; true for a 2xx answer.
    void postJSON(const std::string& url, const Fields& fields, const std::string& label, Result done);

private:
    HttpClient& http_;
    std::string telegramApiBase_;
    Logger log_{"Webhook"};
};

}  // namespace vigilo
