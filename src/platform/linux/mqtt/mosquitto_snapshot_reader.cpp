#include "platform/linux/mqtt/mosquitto_snapshot_reader.h"

#include <poll.h>

#include <algorithm>

#include "platform/linux/mqtt/mosquitto_session.h"

namespace vigilo {

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsUntil(Clock::time_point at) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(at - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60000));
}

}  // namespace

MqttSnapshot MosquittoSnapshotReader::collect(const MqttConnection& connection,
                                              const std::vector<std::string>& patterns,
                                              std::chrono::milliseconds wait, std::size_t maxMessages) {
    MosquittoSession session(connection, MosquittoSession::Protocol::v5);
    auto snapshot = collectWith(session, patterns, wait, maxMessages);
    if (!snapshot.failure || !session.olderProtocolMayHelp()) return snapshot;
    MosquittoSession older(connection, MosquittoSession::Protocol::v311);
    return collectWith(older, patterns, wait, maxMessages);
}

MqttSnapshot MosquittoSnapshotReader::collectWith(MosquittoSession& session, const std::vector<std::string>& patterns,
                                                  std::chrono::milliseconds wait, std::size_t maxMessages) {
    MqttSnapshot snapshot;
    bool subscribe = false;
    bool acknowledged = false;
    auto lastArrival = Clock::now();
    session.onAccepted = [&] { subscribe = true; };
    session.onSubscribed = [&] {
        acknowledged = true;
        lastArrival = Clock::now();
    };
    session.onMessage = [&](MqttMessage message) {
        lastArrival = Clock::now();
        if (snapshot.messages.size() >= maxMessages) {
            snapshot.truncated = true;
            return;
        }
        if (message.payload.size() > kMaxPayloadBytes) message.payload.resize(kMaxPayloadBytes);
        snapshot.messages.push_back(std::move(message));
    };
    if (auto failure = session.start()) {
        snapshot.failure = failure;
        return snapshot;
    }
    const auto connectBy = Clock::now() + kConnectDeadline;
    std::optional<Clock::time_point> collectUntil;
    while (true) {
        if (subscribe) {
            // Outside the library's callback, where a subscription is sent at once.
            subscribe = false;
            for (const auto& pattern : patterns) session.subscribe(pattern);
            collectUntil = Clock::now() + wait;
        }
        const auto now = Clock::now();
        if (!collectUntil && now >= connectBy) {
            snapshot.failure = MqttFailure{MqttFailure::Kind::silent, "no answer"};
            return snapshot;
        }
        if (collectUntil && (now >= *collectUntil || (acknowledged && now - lastArrival >= kQuietEnd))) break;
        auto until = collectUntil ? std::min(*collectUntil, lastArrival + kQuietEnd) : connectBy;
        if (!acknowledged && collectUntil) until = *collectUntil;
        pollfd p{session.fd(), static_cast<short>(POLLIN | (session.wantWrite() ? POLLOUT : 0)), 0};
        if (p.fd < 0) {
            snapshot.failure = MqttFailure{MqttFailure::Kind::unreachable, "socket closed"};
            return snapshot;
        }
        const int ready = ::poll(&p, 1, std::max(millisecondsUntil(until), 1));
        std::optional<MqttFailure> failure;
        if (ready > 0 && (p.revents & POLLOUT)) failure = session.writable();
        if (!failure && ready > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR))) failure = session.readable();
        if (!failure) failure = session.misc();
        if (failure) {
            snapshot.failure = failure;
            return snapshot;
        }
    }
    session.disconnect(std::chrono::milliseconds(200));
    return snapshot;
}

}  // namespace vigilo
