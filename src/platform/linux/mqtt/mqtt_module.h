#pragma once

#include <memory>

#include "cli/fleet_command.h"
#include "platform/mqtt_client.h"
#include "support/loop.h"

namespace vigilo {

// libvigilo-mqtt.so (libmosquitto), loaded at its first use: a daemon with
// MQTT off and every command but `vigilo fleet` never map it. Each factory returns nullptr,
// the failure logged once, when the module cannot be loaded.
namespace MqttModule {

std::unique_ptr<MqttClient> makeClient(Loop& loop);
std::unique_ptr<MqttSnapshotReader> makeSnapshotReader();
// The stored settings, password and machine id of this user and computer.
std::unique_ptr<FleetEnvironment> makeFleetEnvironment();

}  // namespace MqttModule

// The MQTT password's item in the credential store.
inline constexpr const char* kMqttCredentialService = "com.vigilo.app.mqtt";
inline constexpr const char* kMqttCredentialAccount = "password";
inline constexpr const char* kMqttCredentialLabel = "Vigilo MQTT";
// Beside webhooks.json in the preferences folder, where no Secret Service runs.
inline constexpr const char* kMqttPasswordFile = "mqtt-password";

extern "C" {
using VigiloMakeMqttClient = vigilo::MqttClient* (*)(vigilo::Loop* loop);
using VigiloMakeMqttSnapshotReader = vigilo::MqttSnapshotReader* (*)();
using VigiloMakeFleetEnvironment = vigilo::FleetEnvironment* (*)();
}
inline constexpr const char* kMqttModuleFile = "libvigilo-mqtt.so";
inline constexpr const char* kMakeMqttClientSymbol = "vigilo_mqtt_make_client";
inline constexpr const char* kMakeMqttSnapshotReaderSymbol = "vigilo_mqtt_make_snapshot_reader";
inline constexpr const char* kMakeFleetEnvironmentSymbol = "vigilo_mqtt_make_fleet_environment";

}  // namespace vigilo
