#include "platform/linux/mqtt/mqtt_module.h"

#include "platform/linux/loaded_module.h"

namespace vigilo {

namespace {

template <class Function>
Function symbol(const char* name) {
    static const LoadedModule module(kMqttModuleFile, "MQTT");
    return module.symbol<Function>(name);
}

}  // namespace

std::unique_ptr<MqttClient> MqttModule::makeClient(Loop& loop) {
    auto make = symbol<VigiloMakeMqttClient>(kMakeMqttClientSymbol);
    return make ? std::unique_ptr<MqttClient>(make(&loop)) : nullptr;
}

std::unique_ptr<MqttSnapshotReader> MqttModule::makeSnapshotReader() {
    auto make = symbol<VigiloMakeMqttSnapshotReader>(kMakeMqttSnapshotReaderSymbol);
    return make ? std::unique_ptr<MqttSnapshotReader>(make()) : nullptr;
}

std::unique_ptr<FleetEnvironment> MqttModule::makeFleetEnvironment() {
    auto make = symbol<VigiloMakeFleetEnvironment>(kMakeFleetEnvironmentSymbol);
    return make ? std::unique_ptr<FleetEnvironment>(make()) : nullptr;
}

}  // namespace vigilo
