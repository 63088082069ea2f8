#pragma once

#include "platform/linux/mqtt/mosquitto_session.h"
#include "platform/mqtt_client.h"

namespace vigilo {

// MqttSnapshotReader on libmosquitto, polling the session's socket on the
// calling thread. The connection has kConnectDeadline to be accepted; the
// collection ends after `wait`, or once the subscriptions are acknowledged
// and nothing more has arrived for kQuietEnd (the retained messages come
// right after the acknowledgement).
class MosquittoSnapshotReader final : public MqttSnapshotReader {
public:
    static constexpr auto kConnectDeadline = std::chrono::seconds(5);
    static constexpr auto kQuietEnd = std::chrono::milliseconds(300);
    // Longer payloads are kept cut to this, which no reader takes for JSON.
    static constexpr std::size_t kMaxPayloadBytes = 64 * 1024;

    MqttSnapshot collect(const MqttConnection& connection, const std::vector<std::string>& patterns,
                         std::chrono::milliseconds wait, std::size_t maxMessages) override;

private:
    static MqttSnapshot collectWith(MosquittoSession& session, const std::vector<std::string>& patterns,
                                    std::chrono::milliseconds wait, std::size_t maxMessages);
};

}  // namespace vigilo
