#pragma once

#include <nlohmann/json.hpp>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "app/mqtt/mqtt_node.h"
#include "platform/mqtt_client.h"

namespace vigilo {

// One computer seen on the broker. `state` is its state object as
// published, only when it is one this version can read; every text in it is
// cut and cleared of control characters, so a hostile publisher cannot
// write to the terminal.
struct FleetComputer {
    std::string nodeId;
    bool online = false;
    std::optional<nlohmann::ordered_json> state;
};

struct FleetListing {
    std::vector<FleetComputer> computers;
    std::size_t leftOut = 0;  // computers past the limit
};

inline constexpr std::size_t kMaxFleetComputers = 200;

// The computers under `<prefix>/+/state` and `<prefix>/+/availability`:
// `ownNodeId` first, then by host name, those that cannot be read last (by
// node id); at most `limit`, the rest counted.
FleetListing buildFleetListing(const std::vector<MqttMessage>& messages, const std::string& prefix,
                               const std::string& ownNodeId, std::size_t limit = kMaxFleetComputers);

// "gpu-box  online  Auto Mode  tasks: python3 97%, ollama 0%  battery 42%  61 °C  since 2026-01-05T09:00:00Z",
// or "<node id>  online  unreadable".
std::string fleetLine(const FleetComputer& computer);

// The state object with nodeId and online added; {nodeId, online,
// "unreadable": true} for one that cannot be read.
nlohmann::ordered_json fleetJson(const FleetComputer& computer);

// How long `vigilo fleet` waits for the retained messages.
inline constexpr auto kFleetWait = std::chrono::milliseconds(2000);
// The most messages it keeps: two for each computer it can show, and room
// for a crowd it only counts.
inline constexpr std::size_t kFleetMaxMessages = 50000;

// The connection `vigilo fleet` and the settings window's test make: the
// stored options with a client id of their own, so they never push the
// application's own connection off the broker.
MqttConnection fleetConnection(const MqttEndpoint& endpoint, const MqttOptions& options,
                               const std::optional<std::string>& password, const std::string& purpose);

}  // namespace vigilo
