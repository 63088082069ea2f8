#include "alerts/webhook_service.h"

#include <nlohmann/json.hpp>

#include <chrono>

#include "alerts/web_address.h"

namespace vigilo {

namespace {

constexpr std::chrono::seconds kWebhookTimeout{15};

}  // namespace

void WebhookService::sendTelegram(const std::string& token, const std::string& chatID, const std::string& text,
                                  Result done) {
    const std::string url = telegramApiBase_ + "/bot" + token + "/sendMessage";
    if (token.empty() || chatID.empty() || !isValidHttpUrl(url)) return done(false);
    postJSON(url, {{"chat_id", chatID}, {"text", text}}, "telegram", std::move(done));
}

void WebhookService::sendDiscord(const std::string& url, const std::string& text, Result done) {
    if (!isValidHttpUrl(url)) return done(false);
    postJSON(url, {{"content", text}}, "discord", std::move(done));
}

void WebhookService::sendSlack(const std::string& url, const std::string& text, Result done) {
    if (!isValidHttpUrl(url)) return done(false);
    postJSON(url, {{"text", text}}, "slack", std::move(done));
}

void WebhookService::postJSON(const std::string& url, const Fields& fields, const std::string& label, Result done) {
    std::string body;
    try {
        nlohmann::ordered_json object = nlohmann::ordered_json::object();
        for (const auto& [key, value] : fields) object[key] = value;
        body = object.dump();
    } catch (const nlohmann::json::exception&) {
        return done(false);  // text that is not UTF-8
    }
    HttpRequest request{.method = "POST",
                        .url = url,
                        .headers = {{"Content-Type", "application/json"}},
                        .body = std::move(body),
                        .timeout = kWebhookTimeout};
    http_.send(std::move(request), [log = log_, label, done = std::move(done)](HttpResponse response) {
        if (response.error) {
            log.error("{} webhook error: {}", label, *response.error);
            return done(false);
        }
        if (response.status >= 200 && response.status <= 299) return done(true);
        log.error("{} webhook HTTP {}", label, response.status);
        done(false);
    });
}

}  // namespace vigilo
