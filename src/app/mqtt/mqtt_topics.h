#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/mqtt_client.h"
#include "support/clock.h"

namespace vigilo {

// What one computer publishes as `<prefix>/<node id>/state`.
struct MqttNodeState {
    struct Task {
        std::string name;
        double cpuPercent = 0;
        bool operator==(const Task&) const = default;
    };
    std::string host;
    std::string mode;  // the mode's English short label ("Awake On"), never translated
    bool awake = false;
    std::vector<Task> tasks;
    std::optional<int> battery;  // percent; nothing without a battery
    bool charging = false;
    std::optional<double> temperature;  // °C
    std::optional<bool> lidClosed;      // nothing without a lid
    bool closedLid = false;             // closed-lid mode on
    WallTime since{};                   // the last change of mode
    std::string version;

    bool operator==(const MqttNodeState&) const = default;
};

// Compact JSON: host, mode, awake, tasks [{name, cpuPercent}], battery,
// charging, temperature, lid ("open"/"closed"/null), closedLid, since
// (ISO-8601 UTC), version.
std::string encodeMqttNodeState(const MqttNodeState& state);

// The topics of one computer.
class MqttTopics {
public:
    MqttTopics(std::string prefix, std::string discoveryPrefix, std::string nodeId);

    const std::string& nodeId() const { return nodeId_; }
    std::string availability() const { return base() + "availability"; }
    std::string state() const { return base() + "state"; }
    // Every command topic, for one subscription.
    std::string commands() const { return base() + "set/#"; }
    std::string command(std::string_view name) const { return base() + "set/" + std::string(name); }

    // Home Assistant's discovery configs, retained, one device for this
    // computer.
    std::vector<MqttMessage> discoveryConfigs(const std::string& host, const std::string& version) const;
    // The same topics with empty retained payloads, which remove them.
    std::vector<MqttMessage> discoveryRemovals() const;

private:
    std::string base() const { return prefix_ + "/" + nodeId_ + "/"; }

    std::string prefix_;
    std::string discoveryPrefix_;
    std::string nodeId_;
};

// A command received on a topic under `set/`.
struct MqttCommand {
    enum class Kind { keepAwake, autoMode, timer };
    Kind kind;
    bool on = false;  // keepAwake and autoMode
    int seconds = 0;  // timer: 1...86400
};

// The command a message carries, or why it is ignored (for the log; names
// the topic, never the payload's bytes beyond a short excerpt).
std::variant<MqttCommand, std::string> parseMqttCommand(const MqttTopics& topics, std::string_view topic,
                                                        std::string_view payload);

}  // namespace vigilo
