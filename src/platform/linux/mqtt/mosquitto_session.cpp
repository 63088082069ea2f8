#include "platform/linux/mqtt/mosquitto_session.h"

#include <mosquitto.h>
#include <poll.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace vigilo {

namespace {

constexpr int kDrainLimit = 1000;  // packets a readable step takes at most

void initialiseLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed"
// says why in its last part.
std::string opensslReason(const std::string& line) {
    const auto colon = line.rfind(':');
    return colon == std::string::npos ? line : line.substr(colon + 1);
}

}  // namespace

MosquittoSession::MosquittoSession(const MqttConnection& connection, Protocol protocol)
    : host_(connection.endpoint.host), port_(connection.endpoint.port), protocol_(protocol) {
    initialiseLibrary();
    mosq_ = mosquitto_new(connection.clientId.c_str(), true, this);
    if (!mosq_) return;
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION,
                         protocol == Protocol::v5 ? MQTT_PROTOCOL_V5 : MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(mosq_, &MosquittoSession::connected);
    mosquitto_subscribe_callback_set(mosq_, &MosquittoSession::subscribed);
    mosquitto_message_callback_set(mosq_, &MosquittoSession::received);
    mosquitto_log_callback_set(mosq_, &MosquittoSession::logged);
    if (!connection.username.empty()) {
        mosquitto_username_pw_set(mosq_, connection.username.c_str(),
                                  connection.password.empty() ? nullptr : connection.password.c_str());
    }
    if (connection.will) {
        const auto& will = *connection.will;
        mosquitto_will_set(mosq_, will.topic.c_str(), static_cast<int>(will.payload.size()), will.payload.data(), 1,
                           will.retain);
    }
    if (connection.endpoint.tls) {
        if (connection.endpoint.caFile.empty()) {
            mosquitto_int_option(mosq_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        } else {
            mosquitto_tls_set(mosq_, connection.endpoint.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
        }
    }
}

MosquittoSession::~MosquittoSession() {
    if (mosq_) mosquitto_destroy(mosq_);
}

std::optional<MqttFailure> MosquittoSession::start() {
    if (!mosq_) return MqttFailure{MqttFailure::Kind::refused, "the MQTT client could not be created"};
    errno = 0;
    const int rc = mosquitto_connect_async(mosq_, host_.c_str(), port_, kKeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) return failureOf(rc, errno);
    return std::nullopt;
}

int MosquittoSession::fd() const { return mosq_ ? mosquitto_socket(mosq_) : -1; }

bool MosquittoSession::wantWrite() const { return mosq_ && mosquitto_want_write(mosq_); }

// TLS may hold decrypted bytes the socket no longer shows as readable, so
// a readable step reads packets until the library says it would block.
std::optional<MqttFailure> MosquittoSession::readable() {
    for (int i = 0; i < kDrainLimit; ++i) {
        errno = 0;
        const int rc = mosquitto_loop_read(mosq_, 1);
        const int saved = errno;
        if (refusal_) return refusal_;
        if (rc != MOSQ_ERR_SUCCESS) return failureOf(rc, saved);
        if (saved == EAGAIN || saved == EWOULDBLOCK) break;
    }
    return std::nullopt;
}

std::optional<MqttFailure> MosquittoSession::writable() {
    errno = 0;
    const int rc = mosquitto_loop_write(mosq_, 1);
    if (rc != MOSQ_ERR_SUCCESS) return failureOf(rc, errno);
    return std::nullopt;
}

std::optional<MqttFailure> MosquittoSession::misc() {
    const int rc = mosquitto_loop_misc(mosq_);
    if (rc != MOSQ_ERR_SUCCESS) return failureOf(rc, errno);
    return std::nullopt;
}

void MosquittoSession::publish(const MqttMessage& message) {
    mosquitto_publish(mosq_, nullptr, message.topic.c_str(), static_cast<int>(message.payload.size()),
                      message.payload.data(), 0, message.retain);
}

void MosquittoSession::subscribe(const std::string& pattern) { mosquitto_subscribe(mosq_, nullptr, pattern.c_str(), 0); }

void MosquittoSession::disconnect(std::chrono::milliseconds deadline) {
    if (!mosq_ || fd() < 0) return;
    mosquitto_disconnect(mosq_);
    const auto until = std::chrono::steady_clock::now() + deadline;
    while (fd() >= 0 && wantWrite()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fd(), POLLOUT, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        if (mosquitto_loop_write(mosq_, 1) != MOSQ_ERR_SUCCESS) break;
    }
}

void MosquittoSession::connected(mosquitto*, void* self, int rc) {
    auto& session = *static_cast<MosquittoSession*>(self);
    if (rc == 0) {
        session.accepted_ = true;
        if (session.onAccepted) session.onAccepted();
        return;
    }
    // 4 and 5 in MQTT 3.1.1, 134 and 135 in 5: bad user name or password,
    // not authorised. 1 and 132: the protocol level is refused.
    const bool login = rc == 4 || rc == 5 || rc == 134 || rc == 135;
    if (rc == 1 || rc == 132) session.protocolSuspect_ = true;
    session.refusal_ = MqttFailure{login ? MqttFailure::Kind::refusedLogin : MqttFailure::Kind::refused,
                                   rc >= 128 ? mosquitto_reason_string(rc) : mosquitto_connack_string(rc)};
}

void MosquittoSession::subscribed(mosquitto*, void* self, int, int, const int*) {
    auto& session = *static_cast<MosquittoSession*>(self);
    if (session.onSubscribed) session.onSubscribed();
}

void MosquittoSession::received(mosquitto*, void* self, const mosquitto_message* message) {
    auto& session = *static_cast<MosquittoSession*>(self);
    if (!session.onMessage || !message->topic) return;
    const auto* bytes = static_cast<const char*>(message->payload);
    session.onMessage({message->topic,
                       bytes ? std::string(bytes, static_cast<std::size_t>(message->payloadlen)) : std::string(),
                       message->retain});
}

void MosquittoSession::logged(mosquitto*, void* self, int, const char* text) {
    auto& session = *static_cast<MosquittoSession*>(self);
    const std::string line = text ? text : "";
    if (line.find("OpenSSL Error") != std::string::npos && session.tlsReason_.empty()) {
        session.tlsReason_ = opensslReason(line);
    }
}

MqttFailure MosquittoSession::failureOf(int rc, int savedErrno) {
    using Kind = MqttFailure::Kind;
    if (refusal_) return *refusal_;
    if (!accepted_ && (rc == MOSQ_ERR_PROTOCOL || rc == MOSQ_ERR_MALFORMED_PACKET || rc == MOSQ_ERR_CONN_LOST)) {
        protocolSuspect_ = true;
    }
    if (rc == MOSQ_ERR_TLS) return {Kind::untrusted, tlsReason_.empty() ? "the TLS handshake failed" : tlsReason_};
    const std::string detail = rc == MOSQ_ERR_ERRNO ? std::strerror(savedErrno) : mosquitto_strerror(rc);
    if (accepted_) return {Kind::lost, detail};
    // A TLS broker that hangs up on a plain client, a closed port, a name
    // that does not resolve: nobody to talk to at this address.
    if (!tlsReason_.empty()) return {Kind::untrusted, tlsReason_};
    return {Kind::unreachable, detail};
}

}  // namespace vigilo
