#include "ui/qt/windows/alerts_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <fstream>
#include <sstream>

#include "ui/qt/tray_fixture.h"
#include "ui/qt/windows/checked_field.h"

namespace vigilo {
namespace {

using AlertsWindowTest = testing::TrayFixture;

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Typing then leaving the field, as a person does.
void type(CheckedField& field, const char* text) {
    field.edit().setFocus();
    field.edit().selectAll();
    QTest::keyClicks(&field.edit(), text);
    QTest::keyClick(&field.edit(), Qt::Key_Return);
}

TEST_F(AlertsWindowTest, AnAcceptedAddressReachesTheCredentialFileOnlyAndARefusedOneIsNotStored) {
    AlertsWindow window(services(), loop);
    window.present();
    CheckedField& discord = *window.fields()[2];
    ASSERT_EQ(discord.edit().accessibleName().toStdString(), "Webhook URL");

    type(discord, "https://discord.test/api/webhooks/1/secret");
    settings.smartRulesEnabled.set(true);  // so that there is a preferences file to look into
    loop.runUntilIdle();
    writer.flush();
    EXPECT_EQ(webhooks.config().get().discordURL, "https://discord.test/api/webhooks/1/secret");
    ASSERT_NE(contents(dir.path() / "preferences.json").find("smartRulesEnabled"), std::string::npos);
    EXPECT_NE(contents(dir.path() / "webhooks").find("discord.test"), std::string::npos);
    EXPECT_EQ(contents(dir.path() / "preferences.json").find("discord.test"), std::string::npos);
    EXPECT_FALSE(discord.problem().isVisibleTo(&window));

    type(discord, "discord.test/half");
    loop.runUntilIdle();
    EXPECT_TRUE(discord.problem().isVisibleTo(&window));
    EXPECT_EQ(webhooks.config().get().discordURL, "https://discord.test/api/webhooks/1/secret");
    EXPECT_EQ(contents(dir.path() / "webhooks").find("half"), std::string::npos);
}

}  // namespace
}  // namespace vigilo
