#include "platform/linux/mqtt/stored_fleet_environment.h"

#include "app/app_settings.h"
#include "app/mqtt/app_state_mqtt.h"
#include "platform/linux/mqtt/mqtt_module.h"
#include "platform/linux/mqtt/system_identity.h"
#include "platform/linux/secrets/secret_service_credential_store.h"
#include "support/serial_writer.h"

namespace vigilo {

MqttOptions StoredFleetEnvironment::options() {
    SerialWriter writer;
    AppSettings settings(preferencesDir(env_), writer);
    return AppStateMqtt::optionsOf(settings);
}

// The Secret Service item, else the private file: whichever the settings
// window wrote, as that depends on whether a Secret Service ran then.
std::optional<std::string> StoredFleetEnvironment::password() {
    SecretServiceCredentialStore store(kMqttCredentialService, kMqttCredentialAccount, kMqttCredentialLabel);
    if (auto secret = store.read()) return secret;
    return readSmallFile(preferencesDir(env_) / kMqttPasswordFile);
}

std::optional<std::string> StoredFleetEnvironment::machineId() { return readMachineId(env_); }

}  // namespace vigilo
