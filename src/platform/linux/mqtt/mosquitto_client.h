#pragma once

#include <memory>

#include "platform/linux/mqtt/mosquitto_session.h"
#include "platform/mqtt_client.h"
#include "support/loop.h"

namespace vigilo {

// MqttClient on libmosquitto, driven by the application's Loop through the
// session's socket: a readable or writable watch (one at a time, as the
// daemon's loop allows), and a minute's timer for the keep-alive. No thread.
class MosquittoClient final : public MqttClient {
public:
    explicit MosquittoClient(Loop& loop) : loop_(loop) {}
    ~MosquittoClient() override;

    void connect(const MqttConnection& connection, Events events, std::chrono::seconds deadline) override;
    void publish(const MqttMessage& message) override;
    void subscribe(const std::string& pattern) override;
    void disconnect(std::chrono::milliseconds flushDeadline) override;

private:
    enum class Watching { nothing, reading, writing };

    void begin(MosquittoSession::Protocol protocol);
    void step(std::optional<MqttFailure> failure);
    void watch();
    void fail(const MqttFailure& failure);
    void tearDown();

    Loop& loop_;
    std::unique_ptr<MosquittoSession> session_;
    Events events_;
    MqttConnection connection_;
    std::chrono::seconds deadline_{};
    Watching watching_ = Watching::nothing;
    int watchedFd_ = -1;
    Handle watch_;
    Handle deadlineTimer_;
    Handle keepAlive_;
    LifeToken life_;
};

}  // namespace vigilo
