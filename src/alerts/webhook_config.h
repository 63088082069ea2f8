#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vigilo {

// Where alerts go besides the phone: a Telegram bot, Discord and Slack
// webhooks and a custom endpoint that receives JSON. Holds tokens: never log
// it.
struct WebhookConfig {
    bool telegramEnabled = false;
    std::string telegramToken;
    std::string telegramChatID;
    bool discordEnabled = false;
    std::string discordURL;
    bool slackEnabled = false;
    std::string slackURL;
    bool genericEnabled = false;
    std::string genericURL;

    bool operator==(const WebhookConfig&) const = default;
    bool anyEnabled() const { return telegramEnabled || discordEnabled || slackEnabled || genericEnabled; }
};

// The stored form: one compact JSON object with the nine field names as keys.
std::string encodeWebhookConfig(const WebhookConfig& config);

// nullopt unless the text is such an object with every key of the right type.
std::optional<WebhookConfig> decodeWebhookConfig(std::string_view text);

}  // namespace vigilo
