// The MQTT entry points of libvigilo-online.so.
#include "platform/linux/mqtt/mosquitto_client.h"
#include "platform/linux/mqtt/mosquitto_snapshot_reader.h"
#include "platform/linux/mqtt/mqtt_module.h"
#include "platform/linux/mqtt/stored_fleet_environment.h"

extern "C" {

__attribute__((visibility("default"))) vigilo::MqttClient* vigilo_online_make_mqtt_client(vigilo::Loop* loop) {
    return new vigilo::MosquittoClient(*loop);
}

__attribute__((visibility("default"))) vigilo::MqttSnapshotReader* vigilo_online_make_mqtt_snapshot_reader() {
    return new vigilo::MosquittoSnapshotReader();
}

__attribute__((visibility("default"))) vigilo::FleetEnvironment* vigilo_online_make_fleet_environment() {
    return new vigilo::StoredFleetEnvironment(vigilo::XdgEnvironment::fromProcess());
}

}  // extern "C"
