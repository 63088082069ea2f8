#include "ui/alerts_window_model.h"

#include <algorithm>

#include "alerts/web_address.h"
#include "support/tr.h"

namespace vigilo {

namespace {

bool isAddress(AlertField field) {
    return field == AlertField::discordURL || field == AlertField::slackURL || field == AlertField::genericURL;
}

// These become part of a request's path.
bool isPathPart(AlertField field) { return field == AlertField::telegramToken; }

bool hasSpaceOrControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7f;
    });
}

}  // namespace

std::optional<std::string> alertFieldProblem(AlertField field, std::string_view text) {
    if (text.empty()) return std::nullopt;
    if (isAddress(field)) {
        if (isValidHttpUrl(text)) return std::nullopt;
        return std::string(tr("Enter a web address that starts with https:// or http://"));
    }
    if (hasSpaceOrControl(text)) return std::string(tr("Remove the spaces and line breaks"));
    if (isPathPart(field) && text.find_first_of("/?#") != std::string_view::npos) {
        return std::string(tr("\"/\", \"?\" and \"#\" cannot be part of it"));
    }
    return std::nullopt;
}

std::vector<WebhookSectionView> webhookSections() {
    using C = WebhookConfig;
    using Channel = WebhookManager::Channel;
    return {
        {tr("Telegram"),
         &C::telegramEnabled,
         Channel::telegram,
         {{tr("Bot token"), AlertField::telegramToken, &C::telegramToken, true},
          {tr("Chat ID"), AlertField::telegramChatID, &C::telegramChatID, false}}},
        {tr("Discord"),
         &C::discordEnabled,
         Channel::discord,
         {{tr("Webhook URL"), AlertField::discordURL, &C::discordURL, true}}},
        {tr("Slack"),
         &C::slackEnabled,
         Channel::slack,
         {{tr("Webhook URL"), AlertField::slackURL, &C::slackURL, true}}},
        {tr("Custom webhook"),
         &C::genericEnabled,
         Channel::generic,
         {{tr("URL (receives JSON)"), AlertField::genericURL, &C::genericURL, false}}},
    };
}

bool pushWouldBeSent(const PushRequest& request) {
    switch (request.provider) {
    case PushProvider::none: return false;
    case PushProvider::ntfy: return request.ntfyTopic.find_first_not_of(" \t") != std::string::npos;
    case PushProvider::pushover: return !request.pushoverToken.empty() && !request.pushoverUser.empty();
    }
    return false;
}

std::string webhookTestResultText(bool sent) {
    return sent ? tr("Test sent \u2713") : tr("Test failed \u2014 check the token/URL.");
}

}  // namespace vigilo
