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

// How long `vigilo fleet` waits for the retained messages.
inline constexpr auto kFleetWait = std::chrono::milliseconds(2000);
// The most messages it keeps: two for each computer it can show, and room
// for a crowd it only counts.
inline constexpr std::size_t kFleetMaxMessages = 50000;

// `vigilo fleet [--json]`: one line per computer, or a JSON array. Exit 0,
// or 1 with the reason on `err` when MQTT is off or the broker cannot be
// reached or refuses.
int runFleetCommand(FleetEnvironment& environment, bool asJson, std::ostream& out, std::ostream& err);

// The connection `vigilo fleet` and the settings window's test make: the
// stored options with a client id of their own, so they never push the
// application's own connection off the broker.
MqttConnection fleetConnection(const MqttEndpoint& endpoint, const MqttOptions& options,
                               const std::optional<std::string>& password, const std::string& purpose);

}  // namespace vigilo
