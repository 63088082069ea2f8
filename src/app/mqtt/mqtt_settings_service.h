#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/app_settings.h"
#include "platform/credential_store.h"
#include "platform/mqtt_client.h"
#include "support/loop.h"

namespace vigilo {

// What the settings window's MQTT section asks beyond the settings rows:
// storing the password and trying the connection. Main thread only; the
// answers come back on the loop.
class MqttSettingsService {
public:
    using ReaderFactory = std::function<std::unique_ptr<MqttSnapshotReader>()>;

    // `passwordStored` reopens the application's connection with the new
    // password; `store`, the factory and everything captured must outlive
    // the background work (the daemon finishes it before they go).
    MqttSettingsService(Loop& loop, AppSettings& settings, CredentialStore& store, ReaderFactory makeReader,
                        std::function<void()> passwordStored);

    // Writes the password to the credential store; `done` gets the failure's
    // description, which never holds the password.
    void setPassword(const std::string& password, std::function<void(std::optional<std::string>)> done);

    // Connects with the settings as they are and the stored password, and
    // says how that went: "Connected to <host> — 3 computers seen", or the
    // broker's refusal in words.
    void testConnection(std::function<void(std::string)> done);

private:
    Loop& loop_;
    AppSettings& settings_;
    CredentialStore& store_;
    ReaderFactory makeReader_;
    std::function<void()> passwordStored_;
    LifeToken life_;
};

// The test's answer from what the reader saw.
std::string mqttTestResult(const MqttSnapshot& snapshot, const MqttEndpoint& endpoint, const std::string& prefix);

}  // namespace vigilo
