#include "ui/qt/windows/settings_mqtt_section.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/mqtt/mqtt_settings_service.h"
#include "platform/linux/secrets/file_credential_store.h"
#include "ui/qt/tray_fixture.h"
#include "ui/qt/windows/settings_window.h"

namespace vigilo::testing {
namespace {

struct RefusingReader final : MqttSnapshotReader {
    MqttSnapshot collect(const MqttConnection& connection, const std::vector<std::string>&, std::chrono::milliseconds,
                         std::size_t) override {
        *password = connection.password;
        return MqttSnapshot{MqttFailure{MqttFailure::Kind::refusedLogin, "not authorised"}, {}, false};
    }
    std::string* password;
};

class SettingsMqttSectionTest : public TrayFixture {};

// Through the settings window: the fields write their settings, the
// password goes to the store and is never shown again, and the test says
// the broker's refusal in words.
TEST_F(SettingsMqttSectionTest, FieldsPasswordAndTestConnection) {
    FileCredentialStore store(dir.path() / "mqtt-password");
    std::string triedPassword;
    int reopened = 0;
    MqttSettingsService service(
        loop, settings, store,
        [&] {
            auto reader = std::make_unique<RefusingReader>();
            reader->password = &triedPassword;
            return reader;
        },
        [&] { ++reopened; });
    auto withMqtt = services();
    withMqtt.mqtt = &service;
    SettingsWindow window{withMqtt};
    window.present();
    auto* enabled = window.findChild<QCheckBox*>("mqttEnabled");
    auto* broker = window.findChild<QLineEdit*>("mqttBroker");
    auto* user = window.findChild<QLineEdit*>("mqttUsername");
    auto* password = window.findChild<QLineEdit*>("mqttPassword");
    auto* test = window.findChild<QPushButton*>("mqttTest");
    auto* status = window.findChild<QLabel*>("mqttStatus");
    ASSERT_TRUE(enabled && broker && user && password && test && status);

    enabled->click();
    broker->setText(" mqtt://broker.lan ");
    Q_EMIT broker->editingFinished();
    user->setText("me");
    Q_EMIT user->editingFinished();
    EXPECT_TRUE(settings.mqttEnabled.get());
    EXPECT_EQ(settings.mqttBroker.get(), "mqtt://broker.lan");
    EXPECT_EQ(settings.mqttUsername.get(), "me");

    password->setText("s3cret");
    Q_EMIT password->editingFinished();
    EXPECT_TRUE(password->text().isEmpty());
    loop.runUntilIdle();
    EXPECT_EQ(store.read(), "s3cret");
    EXPECT_EQ(reopened, 1);
    EXPECT_EQ(status->text().toStdString(), "Password stored.");

    test->click();
    EXPECT_FALSE(test->isEnabled());
    loop.runUntilIdle();
    EXPECT_EQ(triedPassword, "s3cret");
    EXPECT_EQ(status->text().toStdString(), "The broker refused the user name or password.");
    EXPECT_TRUE(test->isEnabled());

    settings.mqttBroker.set("mqtts://other.lan");
    EXPECT_EQ(broker->text().toStdString(), "mqtts://other.lan");
}

}  // namespace
}  // namespace vigilo::testing
