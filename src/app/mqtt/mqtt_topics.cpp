#include "app/mqtt/mqtt_topics.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <ctime>

namespace vigilo {

using nlohmann::ordered_json;

namespace {

constexpr int kMaxTimerSeconds = 86400;

struct Entity {
    const char* component;
    const char* object;
    const char* name;
    const char* valueTemplate;
    const char* command;  // the command topic's last word, or nullptr
};

constexpr Entity kEntities[] = {
    {"switch", "keep_awake", "Keep awake", "{{ 'ON' if value_json.awake else 'OFF' }}", "keep_awake"},
    {"switch", "auto_mode", "Auto Mode", "{{ 'ON' if value_json.mode == 'Auto Mode' else 'OFF' }}", "auto_mode"},
    {"binary_sensor", "awake", "Awake", "{{ 'ON' if value_json.awake else 'OFF' }}", nullptr},
    {"sensor", "mode", "Mode", "{{ value_json.mode }}", nullptr},
    {"sensor", "workloads", "Workloads", "{{ value_json.tasks | count }}", nullptr},
    {"sensor", "battery", "Battery", "{{ value_json.battery }}", nullptr},
    {"sensor", "temperature", "Temperature", "{{ value_json.temperature }}", nullptr},
    {"binary_sensor", "lid_closed", "Lid closed", "{{ 'ON' if value_json.lid == 'closed' else 'OFF' }}", nullptr},
};

std::string isoUtc(WallTime at) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(at.time_since_epoch()).count();
    const std::time_t t = seconds;
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string excerpt(std::string_view payload) {
    constexpr std::size_t kMax = 40;
    std::string out;
    for (char c : payload.substr(0, kMax)) out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    return payload.size() > kMax ? out + "…" : out;
}

}  // namespace

std::string encodeMqttNodeState(const MqttNodeState& state) {
    ordered_json out;
    out["host"] = state.host;
    out["mode"] = state.mode;
    out["awake"] = state.awake;
    out["tasks"] = ordered_json::array();
    for (const auto& task : state.tasks) {
        out["tasks"].push_back({{"name", task.name}, {"cpuPercent", std::round(task.cpuPercent * 10) / 10}});
    }
    out["battery"] = state.battery ? ordered_json(*state.battery) : ordered_json(nullptr);
    out["charging"] = state.charging;
    out["temperature"] = state.temperature ? ordered_json(*state.temperature) : ordered_json(nullptr);
    out["lid"] = state.lidClosed ? ordered_json(*state.lidClosed ? "closed" : "open") : ordered_json(nullptr);
    out["closedLid"] = state.closedLid;
    out["since"] = isoUtc(state.since);
    out["version"] = state.version;
    return out.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

MqttTopics::MqttTopics(std::string prefix, std::string discoveryPrefix, std::string nodeId)
    : prefix_(std::move(prefix)), discoveryPrefix_(std::move(discoveryPrefix)), nodeId_(std::move(nodeId)) {}

std::vector<MqttMessage> MqttTopics::discoveryConfigs(const std::string& host, const std::string& version) const {
    const ordered_json device = {{"identifiers", {nodeId_}},
                                 {"name", host},
                                 {"manufacturer", "Vigilo"},
                                 {"model", "Vigilo for Linux"},
                                 {"sw_version", version}};
    std::vector<MqttMessage> configs;
    const auto removals = discoveryRemovals();
    for (std::size_t i = 0; i < std::size(kEntities); ++i) {
        const auto& entity = kEntities[i];
        ordered_json config = {{"name", entity.name},
                               {"unique_id", nodeId_ + "_" + entity.object},
                               {"object_id", nodeId_ + "_" + entity.object},
                               {"availability_topic", availability()},
                               {"state_topic", state()},
                               {"value_template", entity.valueTemplate}};
        if (entity.command) {
            config["command_topic"] = command(entity.command);
            config["payload_on"] = "ON";
            config["payload_off"] = "OFF";
        }
        const std::string_view object = entity.object;
        if (object == "battery") {
            config["device_class"] = "battery";
            config["unit_of_measurement"] = "%";
        } else if (object == "temperature") {
            config["device_class"] = "temperature";
            config["unit_of_measurement"] = "°C";
        } else if (object == "workloads") {
            config["json_attributes_topic"] = state();
            config["json_attributes_template"] = "{{ {'names': value_json.tasks | map(attribute='name') | list} | tojson }}";
        }
        config["device"] = device;
        configs.push_back({removals[i].topic, config.dump(-1, ' ', false, ordered_json::error_handler_t::replace), true});
    }
    return configs;
}

std::vector<MqttMessage> MqttTopics::discoveryRemovals() const {
    std::vector<MqttMessage> removals;
    for (const auto& entity : kEntities) {
        removals.push_back({discoveryPrefix_ + "/" + entity.component + "/" + nodeId_ + "_" + entity.object + "/config",
                            "", true});
    }
    return removals;
}

std::variant<MqttCommand, std::string> parseMqttCommand(const MqttTopics& topics, std::string_view topic,
                                                        std::string_view payload) {
    const auto onOff = [&](MqttCommand::Kind kind) -> std::variant<MqttCommand, std::string> {
        if (payload == "ON") return MqttCommand{kind, true};
        if (payload == "OFF") return MqttCommand{kind, false};
        return "not ON or OFF: \"" + excerpt(payload) + "\"";
    };
    if (topic == topics.command("keep_awake")) return onOff(MqttCommand::Kind::keepAwake);
    if (topic == topics.command("auto_mode")) return onOff(MqttCommand::Kind::autoMode);
    if (topic == topics.command("timer")) {
        int seconds = 0;
        const auto* end = payload.data() + payload.size();
        const auto [ptr, ec] = std::from_chars(payload.data(), end, seconds);
        if (payload.empty() || ec != std::errc() || ptr != end || seconds < 1 || seconds > kMaxTimerSeconds) {
            return "not a whole number of seconds from 1 to 86400: \"" + excerpt(payload) + "\"";
        }
        return MqttCommand{MqttCommand::Kind::timer, false, seconds};
    }
    return std::string("not a command");
}

}  // namespace vigilo
