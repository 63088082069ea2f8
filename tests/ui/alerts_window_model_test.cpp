#include "ui/alerts_window_model.h"

#include <gtest/gtest.h>

namespace vigilo {
namespace {

TEST(AlertsWindowModel, FieldsRefuseWhatTheirRequestsCouldNotCarry) {
    const std::tuple<AlertField, const char*, bool> cases[] = {
        {AlertField::discordURL, "", true},
        {AlertField::discordURL, "https://discord.com/api/webhooks/1/x", true},
        {AlertField::slackURL, "hooks.slack.com/services/T0", false},
        {AlertField::genericURL, "http://192.168.1.5/vigilo", true},
        {AlertField::genericURL, "https://host/a b", false},
        {AlertField::telegramToken, "123456:AAE-x_y", true},
        {AlertField::telegramToken, "123/../456", false},
        {AlertField::telegramToken, " 123456:AAE", false},
        {AlertField::telegramChatID, "-1001234567", true},
        {AlertField::telegramChatID, "-100 1234567", false},
    };
    for (const auto& [field, text, accepted] : cases) {
        EXPECT_EQ(!alertFieldProblem(field, text).has_value(), accepted) << text;
    }
}

TEST(AlertsWindowModel, APushTestIsSentOnlyWithWhatItsProviderNeeds) {
    auto push = [](PushProvider provider, const char* topic, const char* token, const char* user) {
        return pushWouldBeSent(PushRequest{provider, "", topic, token, user, "t", "b"});
    };
    EXPECT_FALSE(push(PushProvider::none, "alerts", "tok", "usr"));
    EXPECT_TRUE(push(PushProvider::ntfy, " alerts ", "", ""));
    EXPECT_FALSE(push(PushProvider::ntfy, " \t", "tok", "usr"));
    EXPECT_TRUE(push(PushProvider::pushover, "", "tok", "usr"));
    EXPECT_FALSE(push(PushProvider::pushover, "alerts", "tok", ""));
}

TEST(AlertsWindowModel, EachSectionEditsItsOwnChannel) {
    WebhookConfig config;
    for (const auto& section : webhookSections()) {
        config.*section.enabled = true;
        for (const auto& field : section.fields) config.*field.value = section.title;
    }
    EXPECT_EQ(config, (WebhookConfig{true, "Telegram", "Telegram", true, "Discord", true, "Slack", true,
                                     "Custom webhook"}));
}

}  // namespace
}  // namespace vigilo
