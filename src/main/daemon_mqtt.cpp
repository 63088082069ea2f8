// The daemon's MQTT node: its identity, its client and its password.
#include "app/mqtt/node_id.h"
#include "main/daemon.h"
#include "platform/linux/mqtt/mqtt_module.h"
#include "platform/linux/mqtt/system_identity.h"

namespace vigilo {

CredentialItem mqttCredentialItem(const XdgEnvironment& env) {
    return CredentialItem{kMqttCredentialService, kMqttCredentialAccount, kMqttCredentialLabel,
                          preferencesDir(env) / kMqttPasswordFile, "MQTT"};
}

std::unique_ptr<AppStateMqtt> Daemon::makeMqtt(const XdgEnvironment& env) {
    const auto machineId = readMachineId(env);
    const auto nodeId = machineId ? mqttNodeId(*machineId) : std::nullopt;
    if (!nodeId) {
        // Said only to whoever asked for MQTT: test trees and containers often have no machine id.
        if (settings_.mqttEnabled.get()) {
            Logger("MQTT").error("MQTT is unavailable: {} holds no machine id",
                                 (identityRoot(env) / "etc" / "machine-id").string());
        }
        return nullptr;
    }
    return std::make_unique<AppStateMqtt>(
        state_, lid_, *nodeId, readHostName(env), [this] { return MqttModule::makeClient(loop_); },
        [this] { return mqttPassword_.read(); });
}

}  // namespace vigilo
