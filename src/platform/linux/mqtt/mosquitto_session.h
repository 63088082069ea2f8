#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "platform/mqtt_client.h"

struct mosquitto;
struct mosquitto_message;

namespace vigilo {

// One libmosquitto connection, driven from outside through its socket:
// whoever owns it watches fd() for reading (and for writing while
// wantWrite()) and calls the matching step. MQTT 5, or 3.1.1 for a broker
// without it (see olderProtocolMayHelp()); TLS verifies the broker's
// certificate and host name. The callbacks run inside the steps. One thread
// at a time.
class MosquittoSession {
public:
    static constexpr int kKeepAliveSeconds = 120;

    enum class Protocol { v5, v311 };

    MosquittoSession(const MqttConnection& connection, Protocol protocol);
    ~MosquittoSession();
    MosquittoSession(const MosquittoSession&) = delete;
    MosquittoSession& operator=(const MosquittoSession&) = delete;

    std::function<void()> onAccepted;
    std::function<void()> onSubscribed;
    std::function<void(MqttMessage message)> onMessage;

    // Begins connecting without blocking on the socket (the name lookup
    // still blocks); a failure that is already known comes back.
    std::optional<MqttFailure> start();
    int fd() const;
    bool wantWrite() const;
    bool accepted() const { return accepted_; }
    // After an MQTT 5 attempt that ended before the broker accepted it in a
    // way a broker of 3.1.1 alone ends it (refusing the protocol level, or
    // an answer or hang-up that is not MQTT 5): worth one more try in 3.1.1.
    bool olderProtocolMayHelp() const { return protocol_ == Protocol::v5 && protocolSuspect_; }

    // Each returns why the connection is over, when it is.
    std::optional<MqttFailure> readable();
    std::optional<MqttFailure> writable();
    // The keep-alive's ping; call at least every kKeepAliveSeconds / 2.
    std::optional<MqttFailure> misc();

    void publish(const MqttMessage& message);
    void subscribe(const std::string& pattern);
    // Sends DISCONNECT after what is queued, waiting at most `deadline` for
    // the socket to take it.
    void disconnect(std::chrono::milliseconds deadline);

private:
    static void connected(mosquitto*, void* self, int rc);
    static void subscribed(mosquitto*, void* self, int mid, int count, const int* granted);
    static void received(mosquitto*, void* self, const mosquitto_message* message);
    static void logged(mosquitto*, void* self, int level, const char* text);
    MqttFailure failureOf(int rc, int savedErrno);

    mosquitto* mosq_ = nullptr;
    std::string host_;
    int port_ = 0;
    Protocol protocol_;
    bool accepted_ = false;
    bool protocolSuspect_ = false;
    std::optional<MqttFailure> refusal_;
    std::string tlsReason_;
};

}  // namespace vigilo
