#include "app/mqtt/mqtt_node.h"

#include <algorithm>

#include "app/mqtt/mqtt_address.h"

namespace vigilo {

MqttNode::MqttNode(Loop& loop, MqttNodeHost& host, std::string nodeId, std::string hostName, std::string version,
                   ClientFactory makeClient, PasswordReader readPassword)
    : loop_(loop),
      host_(host),
      nodeId_(std::move(nodeId)),
      hostName_(std::move(hostName)),
      version_(std::move(version)),
      makeClient_(std::move(makeClient)),
      readPassword_(std::move(readPassword)) {}

MqttNode::~MqttNode() = default;

void MqttNode::apply(const MqttOptions& options, bool force) {
    if (options == options_ && !force) return;
    const bool wasOn = phase_ != Phase::off;
    const bool switchedOff = wasOn && !options.enabled;
    if (switchedOff && phase_ == Phase::connected) {
        // Home Assistant forgets the device only when its configs go.
        for (const auto& removal : topics_->discoveryRemovals()) client_->publish(removal);
    }
    close();
    options_ = options;
    if (switchedOff) log_.info("MQTT switched off");
    if (options_.enabled) start();
}

void MqttNode::quit() {
    close();
    options_ = MqttOptions{};
}

// Ends the connection cleanly: "offline" first, as a clean disconnect keeps
// the broker from publishing the will.
void MqttNode::close() {
    if (phase_ == Phase::connected) {
        client_->publish({topics_->availability(), "offline", true});
        client_->disconnect(kQuitFlushDeadline);
    } else if (client_) {
        client_->disconnect(std::chrono::milliseconds(0));
    }
    client_.reset();
    retryTimer_.cancel();
    publishTimer_.cancel();
    publishPending_ = false;
    phase_ = Phase::off;
    ++generation_;
}

void MqttNode::start() {
    auto parsed = parseMqttBroker(options_.broker);
    if (auto* reason = std::get_if<std::string>(&parsed)) {
        // Not the address itself: it may carry a password where a user name belongs.
        log_.error("MQTT stays off: the broker address cannot be used: {}", *reason);
        return;
    }
    for (const auto* prefix : {&options_.topicPrefix, &options_.discoveryPrefix}) {
        if (auto problem = mqttPrefixProblem(*prefix)) {
            log_.error("MQTT stays off: {}", *problem);
            return;
        }
    }
    endpoint_ = std::get<MqttEndpoint>(parsed);
    endpoint_->caFile = options_.caFile;
    topics_.emplace(options_.topicPrefix, options_.discoveryPrefix, nodeId_);
    attempts_ = 0;
    outageRecorded_ = false;
    lastFailureLogged_.clear();
    attempt();
}

// The password is read afresh for every attempt: it may have been changed
// in the keyring meanwhile.
void MqttNode::attempt() {
    phase_ = Phase::readingPassword;
    const auto generation = generation_;
    loop_.runInBackground([read = readPassword_] { return read ? read() : std::nullopt; },
                          [this, generation, life = life_.weak()](std::optional<std::string> password) {
                              if (life.expired() || generation != generation_) return;
                              connectWith(std::move(password));
                          });
}

void MqttNode::connectWith(std::optional<std::string> password) {
    client_ = makeClient_ ? makeClient_() : nullptr;
    if (!client_) {
        log_.error("MQTT stays off: the MQTT client could not be loaded");
        phase_ = Phase::off;
        return;
    }
    phase_ = Phase::connecting;
    passwordInUse_ = passwordToSend(password);
    MqttConnection connection{.endpoint = *endpoint_,
                              .clientId = "vigilo-" + nodeId_,
                              .username = options_.username,
                              .password = passwordInUse_,
                              .will = MqttMessage{topics_->availability(), "offline", true}};
    const auto generation = generation_;
    const auto current = [this, generation, life = life_.weak()] { return !life.expired() && generation == generation_; };
    client_->connect(connection,
                     MqttClient::Events{
                         .connected = [this, current] { if (current()) onConnected(); },
                         .closed = [this, current](const MqttFailure& failure) { if (current()) onClosed(failure); },
                         .message = [this, current](const MqttMessage& message) {
                             if (current()) onMessage(message);
                         },
                     },
                     kConnectDeadline);
}

std::string MqttNode::passwordToSend(const std::optional<std::string>& stored) const {
    return options_.username.empty() ? std::string() : stored.value_or("");
}

void MqttNode::recheckPassword() {
    // An attempt reading the password now gets the new one anyway.
    if (phase_ == Phase::off || phase_ == Phase::readingPassword) return;
    const auto generation = generation_;
    loop_.runInBackground([read = readPassword_] { return read ? read() : std::nullopt; },
                          [this, generation, life = life_.weak()](std::optional<std::string> password) {
                              if (life.expired() || generation != generation_ || phase_ == Phase::off) return;
                              if (phase_ == Phase::connected && passwordToSend(password) == passwordInUse_) return;
                              apply(options_, true);
                          });
}

void MqttNode::onConnected() {
    phase_ = Phase::connected;
    attempts_ = 0;
    outageRecorded_ = false;
    lastFailureLogged_.clear();
    log_.info("MQTT connected to {} as node {}", mqttHostAndPort(*endpoint_), nodeId_);
    host_.record(ActivityKind::mqttConnected, endpoint_->host);
    client_->publish({topics_->availability(), "online", true});
    // After every connect: a broker without persistence forgets retained messages.
    for (const auto& config : topics_->discoveryConfigs(hostName_, version_)) client_->publish(config);
    if (options_.acceptCommands) client_->subscribe(topics_->commands());
    lastState_.clear();
    lastPublishAt_.reset();
    publishTimer_.cancel();
    publishPending_ = false;
    publishState();
}

void MqttNode::onClosed(const MqttFailure& failure) {
    const bool wasConnected = phase_ == Phase::connected;
    client_.reset();
    publishTimer_.cancel();
    publishPending_ = false;
    const auto text = mqttFailureText(failure, *endpoint_);
    // One line and one activity entry an outage, not one a retry.
    if (text != lastFailureLogged_) {
        log_.error("MQTT: {}", text);
        lastFailureLogged_ = text;
    }
    if (wasConnected && !outageRecorded_) {
        host_.record(ActivityKind::mqttDisconnected, std::nullopt);
        outageRecorded_ = true;
    }
    scheduleRetry();
}

std::optional<Duration> MqttNode::retryDelay() const {
    if (phase_ != Phase::waiting) return std::nullopt;
    const auto exponent = std::min(attempts_ - 1, 6);
    return std::min<Duration>(std::chrono::seconds(1 << exponent), kMaxRetryDelay);
}

void MqttNode::scheduleRetry() {
    ++attempts_;
    phase_ = Phase::waiting;
    retryTimer_ = loop_.startTimer(*retryDelay(), [this] { attempt(); });
}

void MqttNode::onMessage(const MqttMessage& message) {
    if (!options_.acceptCommands) return;
    // A retained command comes again with every new subscription, that is
    // at every (re)connect: acting on it would redo an old wish each time.
    if (message.retain) {
        ignore(message.topic, "a retained message is no command sent now");
        return;
    }
    auto parsed = parseMqttCommand(*topics_, message.topic, message.payload);
    if (auto* reason = std::get_if<std::string>(&parsed)) {
        ignore(message.topic, *reason);
        return;
    }
    host_.perform(std::get<MqttCommand>(parsed));
}

// A chatty or hostile publisher gets one line a topic, not one a message.
void MqttNode::ignore(const std::string& topic, const std::string& reason) {
    if (topicsLogged_.size() < 100 && topicsLogged_.insert(topic).second) {
        log_.info("MQTT: ignored a message on {}: {}", topic, reason);
    }
}

void MqttNode::stateChanged() {
    if (phase_ != Phase::connected || publishPending_) return;
    const auto now = loop_.clock().monotonicNow();
    if (lastPublishAt_ && now - *lastPublishAt_ < kMinPublishInterval) {
        publishPending_ = true;
        publishTimer_ = loop_.startTimer(*lastPublishAt_ + kMinPublishInterval - now, [this] {
            publishPending_ = false;
            publishState();
        });
        return;
    }
    publishState();
}

void MqttNode::publishState() {
    if (phase_ != Phase::connected) return;
    auto state = host_.currentState();
    state.host = hostName_;
    state.version = version_;
    auto encoded = encodeMqttNodeState(state);
    if (encoded == lastState_) return;
    client_->publish({topics_->state(), encoded, true});
    lastState_ = std::move(encoded);
    lastPublishAt_ = loop_.clock().monotonicNow();
}

}  // namespace vigilo
