#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vigilo {

// Where an MQTT broker listens. `tls` verifies the broker's certificate
// against the system's CAs, or against `caFile` when it is not empty.
struct MqttEndpoint {
    std::string host;
    int port = 1883;
    bool tls = false;
    std::string caFile;

    bool operator==(const MqttEndpoint&) const = default;
};

struct MqttMessage {
    std::string topic;
    std::string payload;
    bool retain = false;
};

struct MqttConnection {
    MqttEndpoint endpoint;
    std::string clientId;
    std::string username;  // empty: no login
    std::string password;
    // Published by the broker when the connection drops without a clean
    // disconnect.
    std::optional<MqttMessage> will;
};

// Why a connection failed or ended. `detail` never holds the password.
struct MqttFailure {
    enum class Kind {
        unreachable,     // nothing answers at host:port, or the name does not resolve
        refusedLogin,    // the broker refused the user name or password
        untrusted,       // the broker's certificate is not trusted; detail says why
        refused,         // the broker refused for another reason; detail says which
        silent,          // connected but the broker never answered in time
        lost,            // an established connection ended
    };
    Kind kind = Kind::lost;
    std::string detail;
};

// One MQTT connection driven by the caller's Loop: no thread of its own.
// Main thread only; callbacks run on the loop, never inside a call.
class MqttClient {
public:
    struct Events {
        std::function<void()> connected;
        // A connect that failed or a connection that ended; after it the
        // client is idle until connect() is called again.
        std::function<void(const MqttFailure&)> closed;
        // `retain` set: the broker kept it from earlier and hands it to a
        // new subscription, so it was not sent now.
        std::function<void(const MqttMessage& message)> message;
    };

    virtual ~MqttClient() = default;

    // Starts connecting; a connection under way is dropped first. Gives up
    // with `silent` when the broker has not accepted within `deadline`.
    virtual void connect(const MqttConnection& connection, Events events, std::chrono::seconds deadline) = 0;
    // While connected; otherwise dropped.
    virtual void publish(const MqttMessage& message) = 0;
    virtual void subscribe(const std::string& pattern) = 0;
    // Sends what is queued (waiting at most `flushDeadline`) and closes
    // cleanly, so the broker does not publish the will. No callback follows.
    virtual void disconnect(std::chrono::milliseconds flushDeadline) = 0;
};

// What a short-lived subscriber saw: the messages that arrived, or why
// there were none.
struct MqttSnapshot {
    std::optional<MqttFailure> failure;
    std::vector<MqttMessage> messages;
    // Set when the collection stopped at `maxMessages`.
    bool truncated = false;
};

// Connects, subscribes to `patterns` and collects what arrives (the
// retained messages first) for `wait`, then disconnects. Blocks the calling
// thread, for the command line and background tasks.
class MqttSnapshotReader {
public:
    virtual ~MqttSnapshotReader() = default;
    virtual MqttSnapshot collect(const MqttConnection& connection, const std::vector<std::string>& patterns,
                                 std::chrono::milliseconds wait, std::size_t maxMessages) = 0;
};

}  // namespace vigilo
