#include "app/mqtt/fleet_listing.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

#include "support/tr.h"
#include "support/utf8_text.h"

namespace vigilo {

using nlohmann::ordered_json;

namespace {

constexpr std::size_t kMaxTextBytes = 64;
constexpr std::size_t kMaxTasks = 20;

std::string cleanText(const std::string& text) {
    std::string out = decodeUtf8Lossy(text.size() > kMaxTextBytes * 4 ? text.substr(0, kMaxTextBytes * 4) : text);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    if (out.size() > kMaxTextBytes) {
        out.resize(kMaxTextBytes);
        out.resize(kMaxTextBytes - incompleteUtf8Suffix(out));
    }
    return out;
}

bool isNumberOrNull(const ordered_json& value) { return value.is_null() || value.is_number(); }

// The state as this version shows it, or nothing when a field has the
// wrong type. Unknown fields pass through (cleaned) for --json.
std::optional<ordered_json> readableState(const std::string& payload) {
    const auto state = ordered_json::parse(payload, nullptr, false);
    if (!state.is_object()) return std::nullopt;
    const auto stringField = [&](const char* key) { return state.contains(key) && state[key].is_string(); };
    if (!stringField("host") || !stringField("mode") || !state.contains("tasks") || !state["tasks"].is_array()) {
        return std::nullopt;
    }
    ordered_json out = ordered_json::object();
    for (const auto& [key, value] : state.items()) {
        if (key == "tasks") {
            ordered_json tasks = ordered_json::array();
            for (const auto& task : value) {
                if (!task.is_object() || !task.contains("name") || !task["name"].is_string()) return std::nullopt;
                if (tasks.size() == kMaxTasks) continue;
                const auto cpu = task.value("cpuPercent", ordered_json(0.0));
                if (!cpu.is_number()) return std::nullopt;
                tasks.push_back({{"name", cleanText(task["name"])}, {"cpuPercent", cpu}});
            }
            out[key] = tasks;
        } else if (value.is_string()) {
            out[cleanText(key)] = cleanText(value);
        } else if (value.is_primitive()) {
            out[cleanText(key)] = value;
        }
    }
    const auto typed = [&](const char* key, auto check) { return !out.contains(key) || check(out[key]); };
    const bool ok = typed("awake", [](const auto& v) { return v.is_boolean(); }) &&
                    typed("charging", [](const auto& v) { return v.is_boolean(); }) &&
                    typed("closedLid", [](const auto& v) { return v.is_boolean(); }) &&
                    typed("battery", isNumberOrNull) && typed("temperature", isNumberOrNull) &&
                    typed("lid", [](const auto& v) { return v.is_null() || v.is_string(); }) &&
                    typed("since", [](const auto& v) { return v.is_string(); });
    if (!ok) return std::nullopt;
    return out;
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string percent(double value) { return fmt::format("{}%", std::lround(value)); }

}  // namespace

FleetListing buildFleetListing(const std::vector<MqttMessage>& messages, const std::string& prefix,
                               const std::string& ownNodeId, std::size_t limit) {
    std::map<std::string, FleetComputer> byNode;
    const std::string start = prefix + "/";
    for (const auto& message : messages) {
        if (!message.topic.starts_with(start)) continue;
        const auto rest = std::string_view(message.topic).substr(start.size());
        const auto slash = rest.find('/');
        if (slash == std::string_view::npos || slash == 0) continue;
        const auto leaf = rest.substr(slash + 1);
        if (leaf != "state" && leaf != "availability") continue;
        const auto nodeId = cleanText(std::string(rest.substr(0, slash)));
        // An empty retained payload removes the message; nothing to show.
        if (message.payload.empty()) continue;
        auto& computer = byNode[nodeId];
        computer.nodeId = nodeId;
        if (leaf == "availability") {
            computer.online = message.payload == "online";
        } else {
            computer.state = readableState(message.payload);
        }
    }
    std::vector<FleetComputer> computers;
    for (auto& [id, computer] : byNode) computers.push_back(std::move(computer));
    const auto key = [&](const FleetComputer& c) {
        const bool own = c.nodeId == ownNodeId;
        return std::make_tuple(!own, !c.state, c.state ? lowered((*c.state)["host"]) : std::string(), c.nodeId);
    };
    std::sort(computers.begin(), computers.end(), [&](const auto& a, const auto& b) { return key(a) < key(b); });
    FleetListing listing;
    if (computers.size() > limit) {
        listing.leftOut = computers.size() - limit;
        computers.resize(limit);
    }
    listing.computers = std::move(computers);
    return listing;
}

std::string fleetLine(const FleetComputer& computer) {
    const std::string availability = computer.online ? tr("online") : tr("offline");
    if (!computer.state) return fmt::format("{}  {}  {}", computer.nodeId, availability, tr("unreadable"));
    const auto& state = *computer.state;
    std::string tasks;
    for (const auto& task : state["tasks"]) {
        if (!tasks.empty()) tasks += ", ";
        tasks += fmt::format("{} {}", task["name"].get<std::string>(), percent(task["cpuPercent"].get<double>()));
    }
    tasks = tasks.empty() ? std::string(tr("no tasks")) : trFormat("tasks: {}", tasks);
    std::string battery = tr("no battery");
    if (state.contains("battery") && state["battery"].is_number()) {
        battery = trFormat("battery {}", percent(state["battery"].get<double>()));
        if (state.value("charging", false)) battery += tr(" (charging)");
    }
    std::string temperature = tr("no temperature");
    if (state.contains("temperature") && state["temperature"].is_number()) {
        temperature = fmt::format("{} °C", std::lround(state["temperature"].get<double>()));
    }
    const std::string since = trFormat("since {}", state.value("since", std::string("?")));
    return fmt::format("{}  {}  {}  {}  {}  {}  {}", state["host"].get<std::string>(), availability,
                       state["mode"].get<std::string>(), tasks, battery, temperature, since);
}

ordered_json fleetJson(const FleetComputer& computer) {
    ordered_json out = computer.state ? *computer.state : ordered_json{{"unreadable", true}};
    out["nodeId"] = computer.nodeId;
    out["online"] = computer.online;
    return out;
}

MqttConnection fleetConnection(const MqttEndpoint& endpoint, const MqttOptions& options,
                               const std::optional<std::string>& password, const std::string& purpose) {
    std::random_device random;
    return MqttConnection{.endpoint = endpoint,
                          .clientId = fmt::format("vigilo-{}-{:08x}", purpose, random()),
                          .username = options.username,
                          .password = options.username.empty() ? std::string() : password.value_or(""),
                          .will = std::nullopt};
}

}  // namespace vigilo
