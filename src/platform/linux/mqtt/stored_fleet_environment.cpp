#include "platform/linux/mqtt/stored_fleet_environment.h"

#include "app/app_settings.h"
#include "app/mqtt/app_state_mqtt.h"
#include "platform/linux/mqtt/mqtt_module.h"
#include "platform/linux/mqtt/system_identity.h"
#include "platform/linux/loaded_module.h"
#include "platform/linux/online/online_module_abi.h"
#include "support/serial_writer.h"

namespace vigilo {

MqttOptions StoredFleetEnvironment::options() {
    SerialWriter writer;
    AppSettings settings(preferencesDir(env_), writer);
    return AppStateMqtt::optionsOf(settings);
}

// The Secret Service item (through the online module's libsecret), else
// the private file: whichever the settings window wrote, as that depends on
// whether a Secret Service ran then.
std::optional<std::string> StoredFleetEnvironment::password() {
    static const LoadedModule online(kOnlineModuleFile, "MQTT");
    if (auto make = online.symbol<VigiloMakeSecretStore>(kMakeSecretStoreSymbol)) {
        std::unique_ptr<CredentialStore> store(
            make(kMqttCredentialService, kMqttCredentialAccount, kMqttCredentialLabel));
        if (auto secret = store->read()) return secret;
    }
    return readSmallFile(preferencesDir(env_) / kMqttPasswordFile);
}

std::optional<std::string> StoredFleetEnvironment::machineId() { return readMachineId(env_); }

}  // namespace vigilo
