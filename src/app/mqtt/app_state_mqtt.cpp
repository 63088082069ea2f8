#include "app/mqtt/app_state_mqtt.h"

#include <cmath>

#include "activity/activity_log.h"
#include "cli/help_text.h"
#include "detection/process_watcher.h"
#include "safety/battery_monitor.h"
#include "safety/cooling_manager.h"

namespace vigilo {

AppStateMqtt::AppStateMqtt(AppState& state, LidState& lid, std::string nodeId, std::string hostName,
                           MqttNode::ClientFactory makeClient, MqttNode::PasswordReader readPassword)
    : state_(state),
      lid_(lid),
      since_(state.clock().wallNow()),
      node_(state.loop(), *this, std::move(nodeId), std::move(hostName), kCliVersion, std::move(makeClient),
            std::move(readPassword)) {
    lastLocal_ = localState();
    follow();
    node_.apply(optionsOf(state_.settings()));
}

AppStateMqtt::~AppStateMqtt() = default;

void AppStateMqtt::follow() {
    auto& s = state_.settings();
    const auto applySettings = [this](const auto&) { node_.apply(optionsOf(state_.settings())); };
    subscriptions_.push_back(s.mqttEnabled.subscribe(applySettings));
    subscriptions_.push_back(s.mqttBroker.subscribe(applySettings));
    subscriptions_.push_back(s.mqttUsername.subscribe(applySettings));
    subscriptions_.push_back(s.mqttTopicPrefix.subscribe(applySettings));
    subscriptions_.push_back(s.mqttDiscoveryPrefix.subscribe(applySettings));
    subscriptions_.push_back(s.mqttAcceptCommands.subscribe(applySettings));
    subscriptions_.push_back(s.mqttCAFile.subscribe(applySettings));

    // The monitors publish every reading, changed or not; the node hears
    // only of a change to what the state topic shows.
    const auto changed = [this](const auto&) { inputsChanged(); };
    subscriptions_.push_back(state_.mode.subscribe([this](const KeepAwakeMode& mode) {
        // A mode published again unchanged is no change of mode.
        if (modeName(mode) != lastLocal_.mode) since_ = state_.clock().wallNow();
        inputsChanged();
    }));
    subscriptions_.push_back(state_.assertionActive.subscribe(changed));
    subscriptions_.push_back(state_.clamshellActive.subscribe(changed));
    subscriptions_.push_back(state_.watcher().matches.subscribe(changed));
    subscriptions_.push_back(state_.battery().snapshot().subscribe(changed));
    subscriptions_.push_back(state_.cooling().temperature().subscribe(changed));
}

void AppStateMqtt::passwordChanged() { node_.apply(optionsOf(state_.settings()), true); }

MqttOptions AppStateMqtt::optionsOf(const AppSettings& settings) {
    return MqttOptions{.enabled = settings.mqttEnabled.get(),
                       .broker = settings.mqttBroker.get(),
                       .username = settings.mqttUsername.get(),
                       .topicPrefix = settings.mqttTopicPrefix.get(),
                       .discoveryPrefix = settings.mqttDiscoveryPrefix.get(),
                       .acceptCommands = settings.mqttAcceptCommands.get(),
                       .caFile = settings.mqttCAFile.get()};
}

std::string AppStateMqtt::modeName(const KeepAwakeMode& mode) {
    // Home Assistant's templates compare it: never translated.
    switch (mode.kind()) {
        case KeepAwakeMode::Kind::timer: return "Timer Active";
        case KeepAwakeMode::Kind::off: return "Awake Off";
        case KeepAwakeMode::Kind::on: return "Awake On";
        case KeepAwakeMode::Kind::chargingOnly: return "Charging Only";
        case KeepAwakeMode::Kind::autoWatch: return "Auto Mode";
        case KeepAwakeMode::Kind::runCommand: return "Running Task";
    }
    return "Awake Off";
}

void AppStateMqtt::inputsChanged() {
    auto local = localState();
    if (local == lastLocal_) return;
    lastLocal_ = std::move(local);
    node_.stateChanged();
}

// The lid is asked over the bus, so at most once a minute; a lid that
// opens or closes with nothing else changing shows with the next change.
MqttNodeState AppStateMqtt::currentState() {
    auto state = localState();
    const auto now = state_.clock().monotonicNow();
    if (!lidReadAt_ || now - *lidReadAt_ >= std::chrono::minutes(1)) {
        lidClosed_ = lid_.isClosed();
        lidReadAt_ = now;
    }
    state.lidClosed = lidClosed_;
    return state;
}

MqttNodeState AppStateMqtt::localState() const {
    MqttNodeState out;
    out.mode = modeName(state_.mode.get());
    out.awake = state_.assertionActive.get();
    for (const auto& match : state_.watcher().matches.get()) {
        out.tasks.push_back({match.displayName, match.cpuPercent});
    }
    const auto& battery = state_.battery().currentSnapshot();
    if (battery.hasBattery) out.battery = battery.level;
    out.charging = battery.hasBattery && battery.isCharging;
    // Whole degrees: a tenth's wobble is no change worth a message.
    if (const auto celsius = state_.cooling().temperature().get()) out.temperature = std::round(*celsius);
    out.closedLid = state_.clamshellActive.get();
    out.since = since_;
    return out;
}

// Whoever sent it sees no dialog here: a battery question would wait for
// someone at this screen, so the warning goes to the log instead.
void AppStateMqtt::perform(const MqttCommand& command) {
    state_.actUnattended([&] { performUnattended(command); });
}

void AppStateMqtt::performUnattended(const MqttCommand& command) {
    using Kind = KeepAwakeMode::Kind;
    const auto mode = state_.mode.get().kind();
    switch (command.kind) {
        case MqttCommand::Kind::keepAwake:
            if (command.on && mode == Kind::off) state_.startAlwaysOn();
            if (!command.on && mode != Kind::off) state_.stop();
            break;
        case MqttCommand::Kind::autoMode:
            if (command.on != (mode == Kind::autoWatch)) {
                if (command.on) state_.toggleAutoWatch();
                else state_.stop();
            }
            break;
        case MqttCommand::Kind::timer: state_.startTimer(command.seconds); break;
    }
}

void AppStateMqtt::record(ActivityKind kind, std::optional<std::string> text) {
    state_.activity().record(kind, std::nullopt, std::move(text));
}

}  // namespace vigilo
