#include "platform/linux/mqtt/mosquitto_client.h"

namespace vigilo {

namespace {

constexpr auto kKeepAliveTick = std::chrono::seconds(MosquittoSession::kKeepAliveSeconds / 2);

}  // namespace

MosquittoClient::~MosquittoClient() { tearDown(); }

void MosquittoClient::connect(const MqttConnection& connection, Events events, std::chrono::seconds deadline) {
    tearDown();
    events_ = std::move(events);
    connection_ = connection;
    deadline_ = deadline;
    begin(MosquittoSession::Protocol::v5);
}

void MosquittoClient::begin(MosquittoSession::Protocol protocol) {
    session_ = std::make_unique<MosquittoSession>(connection_, protocol);
    // The library's callbacks run inside its steps: handing them to the loop
    // keeps the owner's reactions (which may end this client) out of them.
    session_->onAccepted = [this, life = life_.weak()] {
        deadlineTimer_.cancel();
        loop_.post([this, life] {
            if (!life.expired() && session_ && events_.connected) events_.connected();
        });
    };
    session_->onMessage = [this, life = life_.weak()](MqttMessage message) {
        loop_.post([this, life, message = std::move(message)] {
            if (!life.expired() && session_ && events_.message) events_.message(message);
        });
    };
    if (auto failure = session_->start()) {
        fail(*failure);
        return;
    }
    deadlineTimer_ = loop_.startTimer(deadline_, [this] { fail({MqttFailure::Kind::silent, "no answer"}); });
    keepAlive_ = loop_.startRepeating(kKeepAliveTick, [this] { step(session_->misc()); });
    watch();
}

void MosquittoClient::publish(const MqttMessage& message) {
    if (!session_ || !session_->accepted()) return;
    session_->publish(message);
    watch();
}

void MosquittoClient::subscribe(const std::string& pattern) {
    if (!session_ || !session_->accepted()) return;
    session_->subscribe(pattern);
    watch();
}

void MosquittoClient::disconnect(std::chrono::milliseconds flushDeadline) {
    if (session_) session_->disconnect(flushDeadline);
    tearDown();
}

void MosquittoClient::step(std::optional<MqttFailure> failure) {
    if (failure) {
        fail(*failure);
    } else {
        watch();
    }
}

// Reading, or writing while the library has something to send: re-armed
// only when the direction or the socket changes.
void MosquittoClient::watch() {
    if (!session_) return;
    const int fd = session_->fd();
    if (fd < 0) {
        fail({session_->accepted() ? MqttFailure::Kind::lost : MqttFailure::Kind::unreachable, "socket closed"});
        return;
    }
    const auto wanted = session_->wantWrite() ? Watching::writing : Watching::reading;
    if (wanted == watching_ && fd == watchedFd_) return;
    watch_.cancel();
    watching_ = wanted;
    watchedFd_ = fd;
    if (wanted == Watching::writing) {
        watch_ = loop_.watchWritable(fd, [this] { step(session_->writable()); });
    } else {
        watch_ = loop_.watchReadable(fd, [this] { step(session_->readable()); });
    }
}

void MosquittoClient::fail(const MqttFailure& failure) {
    if (session_ && session_->olderProtocolMayHelp()) {
        tearDown();
        begin(MosquittoSession::Protocol::v311);
        return;
    }
    tearDown();
    loop_.post([this, failure, life = life_.weak()] {
        if (!life.expired() && events_.closed) events_.closed(failure);
    });
}

void MosquittoClient::tearDown() {
    watch_.cancel();
    deadlineTimer_.cancel();
    keepAlive_.cancel();
    watching_ = Watching::nothing;
    watchedFd_ = -1;
    session_.reset();
}

}  // namespace vigilo
