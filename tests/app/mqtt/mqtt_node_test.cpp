#include "app/mqtt/mqtt_node.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/log_capture.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

// The broker's side of one fake connection: what was published, in order.
struct FakeBroker {
    std::vector<std::string> published;  // "topic=payload" ("(r)" when retained)
    std::vector<std::string> subscribed;
    std::vector<MqttConnection> connections;
    MqttClient::Events events;
    int disconnects = 0;
    bool open = false;

    std::string lastOn(const std::string& topic) const {
        for (auto it = published.rbegin(); it != published.rend(); ++it) {
            if (it->starts_with(topic + "=")) return it->substr(topic.size() + 1);
        }
        return "<none>";
    }
};

class FakeClient final : public MqttClient {
public:
    explicit FakeClient(FakeBroker& broker) : broker_(broker) {}
    void connect(const MqttConnection& connection, Events events, std::chrono::seconds) override {
        broker_.connections.push_back(connection);
        broker_.events = std::move(events);
    }
    void publish(const MqttMessage& m) override {
        broker_.published.push_back(m.topic + "=" + m.payload + (m.retain ? "(r)" : ""));
    }
    void subscribe(const std::string& pattern) override { broker_.subscribed.push_back(pattern); }
    void disconnect(std::chrono::milliseconds) override {
        ++broker_.disconnects;
        broker_.open = false;
    }

private:
    FakeBroker& broker_;
};

class FakeHost final : public MqttNodeHost {
public:
    MqttNodeState state{.mode = "Awake Off"};
    std::vector<std::string> performed;
    std::vector<std::string> recorded;
    MqttNodeState currentState() override { return state; }
    void perform(const MqttCommand& c) override {
        performed.push_back(fmt::format("{}:{}:{}", static_cast<int>(c.kind), c.on, c.seconds));
    }
    void record(ActivityKind kind, std::optional<std::string> text) override {
        recorded.push_back(std::string(activityKindName(kind)) + (text ? " " + *text : ""));
    }
};

class MqttNodeTest : public ::testing::Test {
protected:
    MqttNodeTest()
        : node(loop, host, "n1", "gpu-box", "1.0.0", [this] { return std::make_unique<FakeClient>(broker); },
               [this] { return std::optional<std::string>(storedPassword); }) {}

    MqttOptions on() { return MqttOptions{.enabled = true, .broker = "mqtt://broker.lan", .username = "me"}; }

    void accept() {
        loop.runUntilIdle();
        broker.open = true;
        broker.events.connected();
    }
    void drop(MqttFailure::Kind kind = MqttFailure::Kind::lost) {
        broker.open = false;
        broker.events.closed({kind, "gone"});
    }
    std::size_t count(const std::string& topic) const {
        return std::count_if(broker.published.begin(), broker.published.end(),
                             [&](const std::string& p) { return p.starts_with(topic + "="); });
    }

    testing::LogCapture logs;
    std::string storedPassword = "s3cret";
    FakeLoop loop;
    FakeBroker broker;
    FakeHost host;
    MqttNode node;
};

TEST_F(MqttNodeTest, ConnectPublishesAvailabilityDiscoveryAndStateThenStateOnChangeAtMostEveryTwoSeconds) {
    node.apply(on());
    accept();
    ASSERT_EQ(broker.connections.size(), 1u);
    const auto& connection = broker.connections[0];
    EXPECT_EQ(connection.endpoint, (MqttEndpoint{"broker.lan", 1883, false, ""}));
    EXPECT_EQ(connection.username, "me");
    EXPECT_EQ(connection.password, "s3cret");
    EXPECT_EQ(connection.will->topic, "vigilo/n1/availability");
    EXPECT_EQ(connection.will->payload, "offline");
    EXPECT_TRUE(connection.will->retain);
    EXPECT_EQ(broker.published.front(), "vigilo/n1/availability=online(r)");
    EXPECT_EQ(count("homeassistant/switch/n1_keep_awake/config"), 1u);
    EXPECT_THAT(broker.lastOn("vigilo/n1/state"), ::testing::HasSubstr(R"("host":"gpu-box","mode":"Awake Off")"));
    EXPECT_THAT(broker.subscribed, ElementsAre("vigilo/n1/set/#"));
    EXPECT_THAT(host.recorded, ElementsAre("mqttConnected broker.lan"));

    // Unchanged: nothing; a change within 2 s waits for the 2 s; several
    // changes meanwhile make one message with the latest state.
    node.stateChanged();
    EXPECT_EQ(count("vigilo/n1/state"), 1u);
    host.state.mode = "Awake On";
    node.stateChanged();
    loop.fastForwardBy(1s);
    host.state.awake = true;
    node.stateChanged();
    EXPECT_EQ(count("vigilo/n1/state"), 1u);
    loop.fastForwardBy(1s);
    EXPECT_EQ(count("vigilo/n1/state"), 2u);
    EXPECT_THAT(broker.lastOn("vigilo/n1/state"), ::testing::HasSubstr(R"("mode":"Awake On","awake":true)"));
    loop.fastForwardBy(10s);
    host.state.awake = false;
    node.stateChanged();
    EXPECT_EQ(count("vigilo/n1/state"), 3u) << "published at once after a quiet spell";
}

TEST_F(MqttNodeTest, CommandsReachTheHostOnlyWhileAcceptedAndOtherTopicsAreLoggedOnce) {
    node.apply(on());
    accept();
    // The broker hands retained commands to every new subscription: an old
    // wish, never to be redone at a reconnect.
    broker.events.message({"vigilo/n1/set/auto_mode", "ON", true});
    broker.events.message({"vigilo/n1/set/auto_mode", "ON", true});
    broker.events.message({"vigilo/n1/set/keep_awake", "ON"});
    broker.events.message({"vigilo/n1/set/timer", "90"});
    broker.events.message({"vigilo/n1/set/timer", "60", true});
    broker.events.message({"vigilo/n1/set/sleep", "ON"});
    broker.events.message({"vigilo/n1/set/sleep", "ON"});
    broker.events.message({"vigilo/n1/set/keep_awake", "maybe"});
    EXPECT_THAT(host.performed, ElementsAre("0:true:0", "2:false:90"));
    // Connected, then one line a topic: auto_mode, timer, sleep, keep_awake.
    EXPECT_EQ(logs.lines().size(), 5u) << ::testing::PrintToString(logs.lines());
    EXPECT_TRUE(logs.contains("MQTT: MQTT: ignored a message on vigilo/n1/set/auto_mode: a retained message is "
                              "no command sent now"))
        << ::testing::PrintToString(logs.lines());

    auto options = on();
    options.acceptCommands = false;
    node.apply(options);
    accept();
    EXPECT_EQ(broker.subscribed.size(), 1u) << "not subscribed again";
    broker.events.message({"vigilo/n1/set/keep_awake", "OFF"});
    EXPECT_EQ(host.performed.size(), 2u);
}

TEST_F(MqttNodeTest, ReconnectsAfterOneTwoFourUpToSixtySecondsLoggingAndRecordingOncePerOutage) {
    node.apply(on());
    accept();
    drop();
    std::vector<std::int64_t> delays;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const auto before = broker.connections.size();
        std::int64_t waited = 0;
        while (broker.connections.size() == before && waited < 120) {
            loop.fastForwardBy(1s);
            ++waited;
        }
        delays.push_back(waited);
        drop(MqttFailure::Kind::unreachable);
    }
    EXPECT_THAT(delays, ElementsAre(1, 2, 4, 8, 16, 32, 60, 60));
    EXPECT_THAT(host.recorded, ElementsAre("mqttConnected broker.lan", "mqttDisconnected"));
    const auto lines = logs.lines();
    const auto errors = std::count_if(lines.begin(), lines.end(),
                                      [](const std::string& l) { return l.find("error") != std::string::npos; });
    EXPECT_EQ(errors, 2) << "lost, then unreachable: " << ::testing::PrintToString(logs.lines());

    // Back: discovery and state again, the count starts afresh.
    loop.fastForwardBy(60s);
    broker.published.clear();
    broker.events.connected();
    EXPECT_EQ(count("homeassistant/sensor/n1_mode/config"), 1u);
    EXPECT_EQ(count("vigilo/n1/state"), 1u);
    drop();
    loop.fastForwardBy(1s);
    EXPECT_EQ(broker.connections.size(), 11u);
    EXPECT_THAT(host.recorded, ElementsAre("mqttConnected broker.lan", "mqttDisconnected", "mqttConnected broker.lan",
                                           "mqttDisconnected"));
}

TEST_F(MqttNodeTest, SwitchingOffClearsDiscoveryAndQuitLeavesItBothSayOfflineBeforeACleanDisconnect) {
    node.apply(on());
    accept();
    broker.published.clear();
    node.apply(MqttOptions{});
    EXPECT_EQ(broker.published.size(), 9u);
    EXPECT_EQ(broker.lastOn("homeassistant/binary_sensor/n1_lid_closed/config"), "(r)");
    EXPECT_EQ(broker.published.back(), "vigilo/n1/availability=offline(r)");
    EXPECT_EQ(broker.disconnects, 1);
    loop.fastForwardBy(120s);
    EXPECT_EQ(broker.connections.size(), 1u) << "off stays off";

    node.apply(on());
    accept();
    broker.published.clear();
    node.quit();
    EXPECT_THAT(broker.published, ElementsAre("vigilo/n1/availability=offline(r)"));
    EXPECT_EQ(broker.disconnects, 2);
}

TEST_F(MqttNodeTest, ChangedOptionsReopenTheConnectionAndAnUnusableAddressKeepsItClosed) {
    node.apply(on());
    accept();
    auto options = on();
    options.broker = "mqtts://other.lan:9999";
    options.caFile = "/etc/ca.pem";
    node.apply(options);
    EXPECT_EQ(broker.lastOn("vigilo/n1/availability"), "offline(r)");
    accept();
    ASSERT_EQ(broker.connections.size(), 2u);
    EXPECT_EQ(broker.connections[1].endpoint, (MqttEndpoint{"other.lan", 9999, true, "/etc/ca.pem"}));

    options.topicPrefix = "vigilo/#";
    node.apply(options);
    loop.fastForwardBy(120s);
    EXPECT_EQ(broker.connections.size(), 2u) << "a wildcard prefix would subscribe to everything";

    options.topicPrefix = "vigilo";
    options.broker = "mqtt://me:pw@other.lan";
    node.apply(options);
    loop.fastForwardBy(120s);
    EXPECT_EQ(broker.connections.size(), 2u);
    EXPECT_FALSE(node.connected());
    EXPECT_TRUE(logs.contains("MQTT: error: MQTT stays off: the broker address cannot be used: Put the user name in "
                              "its own field, not in the broker address."))
        << ::testing::PrintToString(logs.lines());
}

// A reload reads the password again: a new one, or a node still waiting to
// retry, connects again at once; the same one on a live connection stays.
TEST_F(MqttNodeTest, AReloadReconnectsAtOnceWhenThePasswordChangedOrTheNodeIsNotConnected) {
    const struct {
        const char* name;
        bool connected;
        const char* stored;
        std::size_t connections;  // after the reload
        const char* sent;
    } cases[] = {
        {"same password, connected", true, "s3cret", 1, "s3cret"},
        {"new password, connected", true, "n3w", 2, "n3w"},
        {"same password, waiting to retry", false, "s3cret", 6, "s3cret"},
        {"new password, waiting to retry", false, "n3w", 6, "n3w"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        storedPassword = "s3cret";
        broker = FakeBroker{};
        node.apply(MqttOptions{});
        node.apply(on());
        if (c.connected) {
            accept();
        } else {
            // Refused five times: the next attempt waits 16 s.
            for (int i = 0; i < 5; ++i) {
                loop.fastForwardBy(20s);
                drop(MqttFailure::Kind::refusedLogin);
            }
            loop.runUntilIdle();
            ASSERT_EQ(broker.connections.size(), 5u);
            ASSERT_EQ(node.retryDelay(), 16s);
        }
        storedPassword = c.stored;
        node.recheckPassword();
        loop.runUntilIdle();
        ASSERT_EQ(broker.connections.size(), c.connections);
        EXPECT_EQ(broker.connections.back().password, c.sent);
        if (c.connections > 1 && c.connected) {
            EXPECT_EQ(broker.lastOn("vigilo/n1/availability"), "offline(r)") << "closed cleanly first";
        }
        if (!c.connected) {
            drop(MqttFailure::Kind::refusedLogin);
            EXPECT_EQ(node.retryDelay(), 1s) << "the back-off starts afresh";
        }
    }
}

}  // namespace
}  // namespace vigilo
