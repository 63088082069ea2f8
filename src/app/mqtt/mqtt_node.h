#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "activity/activity_kind.h"
#include "app/mqtt/mqtt_topics.h"
#include "platform/mqtt_client.h"
#include "support/handle.h"
#include "support/log.h"
#include "support/loop.h"

namespace vigilo {

// The MQTT rows of the settings, as one value to compare.
struct MqttOptions {
    bool enabled = false;
    std::string broker;
    std::string username;
    std::string topicPrefix = "vigilo";
    std::string discoveryPrefix = "homeassistant";
    bool acceptCommands = true;
    std::string caFile;

    bool operator==(const MqttOptions&) const = default;
};

// What the node reads from and asks of the rest of the application.
class MqttNodeHost {
public:
    virtual ~MqttNodeHost() = default;
    virtual MqttNodeState currentState() = 0;
    // Applies a command with the harmless rules (see app_state_mqtt.h).
    virtual void perform(const MqttCommand& command) = 0;
    virtual void record(ActivityKind kind, std::optional<std::string> text) = 0;
};

// This computer on the user's MQTT broker: keeps one connection while MQTT
// is on, reconnecting after 1, 2, 4 … 60 seconds; publishes availability
// (with "offline" as the will), Home Assistant's discovery configs and the
// state after every (re)connect, and the state on change at most every 2
// seconds; takes commands under set/ while they are accepted. Main thread
// only.
class MqttNode {
public:
    using ClientFactory = std::function<std::unique_ptr<MqttClient>()>;
    // Blocking (the credential store); run on a background task.
    using PasswordReader = std::function<std::optional<std::string>()>;

    static constexpr auto kMinPublishInterval = std::chrono::seconds(2);
    static constexpr auto kMaxRetryDelay = std::chrono::seconds(60);
    static constexpr auto kConnectDeadline = std::chrono::seconds(10);
    static constexpr auto kQuitFlushDeadline = std::chrono::milliseconds(1000);

    MqttNode(Loop& loop, MqttNodeHost& host, std::string nodeId, std::string hostName, std::string version,
             ClientFactory makeClient, PasswordReader readPassword);
    ~MqttNode();
    MqttNode(const MqttNode&) = delete;
    MqttNode& operator=(const MqttNode&) = delete;

    // Starts, stops or reopens the connection when the options differ from
    // the last ones applied (or always, with `force`, as after a new
    // password). Switching off clears the discovery configs and publishes
    // "offline" first.
    void apply(const MqttOptions& options, bool force = false);
    // After a reload: reads the password again and, when it is not the one
    // in use or the node is not connected, connects again at once with the
    // back-off started afresh.
    void recheckPassword();
    // Something in the state may have changed.
    void stateChanged();
    // A clean quit: "offline", then a clean disconnect; discovery stays.
    void quit();

    bool connected() const { return phase_ == Phase::connected; }
    // The delay before the next attempt, while one is waiting.
    std::optional<Duration> retryDelay() const;

private:
    enum class Phase { off, readingPassword, connecting, connected, waiting };

    // Checks the options and begins afresh; attempt() is one try of it.
    void start();
    void attempt();
    void close();
    void connectWith(std::optional<std::string> password);
    std::string passwordToSend(const std::optional<std::string>& stored) const;
    void onConnected();
    void onClosed(const MqttFailure& failure);
    void onMessage(const MqttMessage& message);
    void ignore(const std::string& topic, const std::string& reason);
    void publishState();
    void scheduleRetry();

    Logger log_{"MQTT"};
    Loop& loop_;
    MqttNodeHost& host_;
    std::string nodeId_;
    std::string hostName_;
    std::string version_;
    ClientFactory makeClient_;
    PasswordReader readPassword_;

    MqttOptions options_;
    std::optional<MqttTopics> topics_;
    std::optional<MqttEndpoint> endpoint_;
    Phase phase_ = Phase::off;
    std::unique_ptr<MqttClient> client_;
    std::string passwordInUse_;  // as the last connect sent it
    // Every start() begins a generation; late answers of an older one are dropped.
    std::uint64_t generation_ = 0;
    int attempts_ = 0;  // failed attempts since the last connection
    Handle retryTimer_;
    Handle publishTimer_;
    bool publishPending_ = false;
    std::optional<MonoTime> lastPublishAt_;
    std::string lastState_;
    bool outageRecorded_ = false;
    std::string lastFailureLogged_;
    std::set<std::string> topicsLogged_;
    LifeToken life_;
};

}  // namespace vigilo
