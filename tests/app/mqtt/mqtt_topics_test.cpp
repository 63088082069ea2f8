#include "app/mqtt/mqtt_topics.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace vigilo {
namespace {

using nlohmann::json;

TEST(MqttTopics, StateCarriesEveryFieldWithNullsForWhatTheComputerLacks) {
    MqttNodeState state{.host = "gpu-box",
                        .mode = "Auto Mode",
                        .awake = true,
                        .tasks = {{"python3", 97.25}, {"ollama", 0}},
                        .charging = false,
                        .closedLid = false,
                        .since = WallTime(std::chrono::seconds(1767603600)),
                        .version = "1.0.0"};
    EXPECT_EQ(encodeMqttNodeState(state),
              R"({"host":"gpu-box","mode":"Auto Mode","awake":true,"tasks":[{"name":"python3","cpuPercent":97.3},)"
              R"({"name":"ollama","cpuPercent":0.0}],"battery":null,"charging":false,"temperature":null,"lid":null,)"
              R"("closedLid":false,"since":"2026-01-05T09:00:00Z","version":"1.0.0"})");
    state.battery = 42;
    state.temperature = 61;
    state.lidClosed = true;
    const auto decoded = json::parse(encodeMqttNodeState(state));
    EXPECT_EQ(decoded["battery"], 42);
    EXPECT_EQ(decoded["temperature"], 61.0);
    EXPECT_EQ(decoded["lid"], "closed");
}

TEST(MqttTopics, DiscoveryDescribesOneDeviceAndItsRemovalsEmptyTheSameTopics) {
    const MqttTopics topics("vigilo", "homeassistant", "40dad2d5f67c");
    const auto configs = topics.discoveryConfigs("gpu-box", "1.0.0");
    const auto removals = topics.discoveryRemovals();
    ASSERT_EQ(configs.size(), 8u);
    ASSERT_EQ(removals.size(), configs.size());
    std::vector<std::string> names;
    for (std::size_t i = 0; i < configs.size(); ++i) {
        EXPECT_TRUE(configs[i].retain);
        EXPECT_TRUE(removals[i].retain);
        EXPECT_EQ(removals[i].topic, configs[i].topic);
        EXPECT_EQ(removals[i].payload, "");
        const auto config = json::parse(configs[i].payload);
        names.push_back(config["name"]);
        EXPECT_EQ(config["availability_topic"], "vigilo/40dad2d5f67c/availability");
        EXPECT_EQ(config["state_topic"], "vigilo/40dad2d5f67c/state");
        EXPECT_EQ(config["device"],
                  json::parse(R"({"identifiers":["40dad2d5f67c"],"name":"gpu-box","manufacturer":"Vigilo",)"
                              R"("model":"Vigilo for Linux","sw_version":"1.0.0"})"));
        EXPECT_TRUE(config["value_template"].get<std::string>().starts_with("{{"));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Keep awake", "Auto Mode", "Awake", "Mode", "Workloads", "Battery",
                                               "Temperature", "Lid closed"}));
    EXPECT_EQ(configs[0].topic, "homeassistant/switch/40dad2d5f67c_keep_awake/config");
    EXPECT_EQ(json::parse(configs[0].payload)["command_topic"], "vigilo/40dad2d5f67c/set/keep_awake");
    EXPECT_EQ(json::parse(configs[0].payload)["unique_id"], "40dad2d5f67c_keep_awake");
    EXPECT_EQ(configs[5].topic, "homeassistant/sensor/40dad2d5f67c_battery/config");
    EXPECT_EQ(json::parse(configs[5].payload)["device_class"], "battery");
    EXPECT_EQ(json::parse(configs[6].payload)["unit_of_measurement"], "°C");
    EXPECT_EQ(configs[7].topic, "homeassistant/binary_sensor/40dad2d5f67c_lid_closed/config");
}

TEST(MqttTopics, CommandsAreReadStrictlyAndAnythingElseIsIgnoredWithAReason) {
    const MqttTopics topics("vigilo", "homeassistant", "n1");
    using Kind = MqttCommand::Kind;
    const struct {
        const char* topic;
        std::string payload;
        std::optional<Kind> kind;  // nothing: ignored
        bool on;
        int seconds;
    } cases[] = {
        {"vigilo/n1/set/keep_awake", "ON", Kind::keepAwake, true, 0},
        {"vigilo/n1/set/keep_awake", "OFF", Kind::keepAwake, false, 0},
        {"vigilo/n1/set/auto_mode", "ON", Kind::autoMode, true, 0},
        {"vigilo/n1/set/timer", "1", Kind::timer, false, 1},
        {"vigilo/n1/set/timer", "86400", Kind::timer, false, 86400},
        {"vigilo/n1/set/keep_awake", "on", std::nullopt, false, 0},
        {"vigilo/n1/set/keep_awake", "", std::nullopt, false, 0},
        {"vigilo/n1/set/timer", "0", std::nullopt, false, 0},
        {"vigilo/n1/set/timer", "86401", std::nullopt, false, 0},
        {"vigilo/n1/set/timer", "1.5", std::nullopt, false, 0},
        {"vigilo/n1/set/timer", "-5", std::nullopt, false, 0},
        {"vigilo/n1/set/timer", "99999999999999999999", std::nullopt, false, 0},
        {"vigilo/n1/set/sleep", "ON", std::nullopt, false, 0},
        {"vigilo/n1/set/keep_awake/x", "ON", std::nullopt, false, 0},
        {"vigilo/n2/set/keep_awake", "ON", std::nullopt, false, 0},
        {"vigilo/n1/set/keep_awake", std::string("ON\0", 3), std::nullopt, false, 0},
    };
    for (const auto& c : cases) {
        const auto parsed = parseMqttCommand(topics, c.topic, c.payload);
        if (!c.kind) {
            EXPECT_TRUE(std::holds_alternative<std::string>(parsed)) << c.topic << " " << c.payload;
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<MqttCommand>(parsed)) << c.topic << " " << c.payload;
        const auto& command = std::get<MqttCommand>(parsed);
        EXPECT_EQ(command.kind, *c.kind);
        EXPECT_EQ(command.on, c.on);
        EXPECT_EQ(command.seconds, c.seconds);
    }
}

}  // namespace
}  // namespace vigilo
