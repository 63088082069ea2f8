#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "alerts/webhook_config.h"
#include "alerts/webhook_manager.h"
#include "app/app_alerts.h"

namespace vigilo {

// The webhook sections' text fields; the phone push fields are the
// settings' own (PushField).
enum class AlertField {
    telegramToken,
    telegramChatID,
    discordURL,
    slackURL,
    genericURL,
};

// Why the field cannot take this text, or nullopt when it can. Empty is
// always accepted (the channel is then simply not set up). Addresses must be
// ones the HTTP client sends to; tokens, keys and IDs hold no white space,
// and those that become part of an address hold no "/", "?" or "#".
std::optional<std::string> alertFieldProblem(AlertField field, std::string_view text);

struct WebhookFieldView {
    std::string label;
    AlertField field;
    std::string WebhookConfig::*value;
    bool secret;  // shown masked while not being edited
};

// One of the four fixed webhook sections, in the window's order.
struct WebhookSectionView {
    std::string title;
    bool WebhookConfig::*enabled;
    WebhookManager::Channel channel;
    std::vector<WebhookFieldView> fields;
};

std::vector<WebhookSectionView> webhookSections();

// Whether the push service would send this at all: a provider, and its
// topic or its token and user key. The service reports nothing back, so
// the window tells the user what is missing before it sends.
bool pushWouldBeSent(const PushRequest& request);

// The line under "Send test" once a test has answered.
std::string webhookTestResultText(bool sent);

}  // namespace vigilo
