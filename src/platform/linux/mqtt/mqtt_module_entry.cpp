// The entry points of libvigilo-mqtt.so.
#include "platform/linux/mqtt/mosquitto_client.h"
#include "platform/linux/mqtt/mosquitto_snapshot_reader.h"
#include "platform/linux/mqtt/mqtt_module.h"
#include "platform/linux/mqtt/stored_fleet_environment.h"

extern "C" {

__attribute__((visibility("default"))) vigilo::MqttClient* vigilo_mqtt_make_client(vigilo::Loop* loop) {
    return new vigilo::MosquittoClient(*loop);
}

__attribute__((visibility("default"))) vigilo::MqttSnapshotReader* vigilo_mqtt_make_snapshot_reader() {
    return new vigilo::MosquittoSnapshotReader();
}

__attribute__((visibility("default"))) vigilo::FleetEnvironment* vigilo_mqtt_make_fleet_environment() {
    return new vigilo::StoredFleetEnvironment(vigilo::XdgEnvironment::fromProcess());
}

}  // extern "C"
