#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "app/mqtt/mqtt_node.h"
#include "platform/mqtt_client.h"

namespace vigilo {

// What `vigilo fleet` reads: the stored settings and password, this
// computer's machine id, and a short-lived subscriber. Works without the
// application running.
class FleetEnvironment {
public:
    virtual ~FleetEnvironment() = default;
    virtual MqttOptions options() = 0;
    virtual std::optional<std::string> password() = 0;
    // /etc/machine-id's contents; nothing when it cannot be read.
    virtual std::optional<std::string> machineId() = 0;
    virtual MqttSnapshotReader& reader() = 0;
};

// `vigilo fleet [--json]`: one line per computer, or a JSON array. Exit 0,
// or 1 with the reason on `err` when MQTT is off or the broker cannot be
// reached or refuses.
int runFleetCommand(FleetEnvironment& environment, bool asJson, std::ostream& out, std::ostream& err);

}  // namespace vigilo
