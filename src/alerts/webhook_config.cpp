#include "alerts/webhook_config.h"

#include <nlohmann/json.hpp>

namespace vigilo {

using nlohmann::ordered_json;

std::string encodeWebhookConfig(const WebhookConfig& config) {
    const ordered_json object = {
        {"telegramEnabled", config.telegramEnabled}, {"telegramToken", config.telegramToken},
        {"telegramChatID", config.telegramChatID},   {"discordEnabled", config.discordEnabled},
        {"discordURL", config.discordURL},           {"slackEnabled", config.slackEnabled},
        {"slackURL", config.slackURL},               {"genericEnabled", config.genericEnabled},
        {"genericURL", config.genericURL},
    };
    return object.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

std::optional<WebhookConfig> decodeWebhookConfig(std::string_view text) {
    const auto object = nlohmann::json::parse(text, nullptr, false);
    if (!object.is_object()) return std::nullopt;
    bool complete = true;
    const auto flag = [&](const char* key) {
        auto it = object.find(key);
        if (it == object.end() || !it->is_boolean()) {
            complete = false;
            return false;
        }
        return it->get<bool>();
    };
    const auto string = [&](const char* key) {
        auto it = object.find(key);
        if (it == object.end() || !it->is_string()) {
            complete = false;
            return std::string();
        }
        return it->get<std::string>();
    };
    WebhookConfig config{
        .telegramEnabled = flag("telegramEnabled"),
        .telegramToken = string("telegramToken"),
        .telegramChatID = string("telegramChatID"),
        .discordEnabled = flag("discordEnabled"),
        .discordURL = string("discordURL"),
        .slackEnabled = flag("slackEnabled"),
        .slackURL = string("slackURL"),
        .genericEnabled = flag("genericEnabled"),
        .genericURL = string("genericURL"),
    };
    if (!complete) return std::nullopt;
    return config;
}

}  // namespace vigilo
