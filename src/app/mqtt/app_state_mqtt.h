#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "app/app_state.h"
#include "app/mqtt/mqtt_node.h"
#include "platform/lid_state.h"

namespace vigilo {

// The MQTT node wired to the controller: follows the mqtt* settings
// (starting, stopping or reopening the connection at once, also after a
// reload), tells the node when the state may have changed, and carries out
// commands with the harmless rules of the desktop's shortcut actions:
// keep-awake ON only from off (a timer or Auto Mode stays), OFF only when
// something keeps the computer awake; Auto Mode ON only when not already in
// it, OFF only from it; a timer replaces whatever runs. Nothing else is
// touched. Main thread only.
class AppStateMqtt final : private MqttNodeHost {
public:
    AppStateMqtt(AppState& state, LidState& lid, std::string nodeId, std::string hostName,
                 MqttNode::ClientFactory makeClient, MqttNode::PasswordReader readPassword);
    ~AppStateMqtt() override;

    // The stored password changed: the connection is opened again.
    void passwordChanged();
    // After a reload (SIGHUP): the password may have changed in the
    // credential store meanwhile; the settings rows follow on their own.
    void reload() { node_.recheckPassword(); }
    // A clean quit: "offline" before the disconnect.
    void quit() { node_.quit(); }

    // The settings' mqtt* rows as one value.
    static MqttOptions optionsOf(const AppSettings& settings);
    // The mode as the state topic names it: the English short label.
    static std::string modeName(const KeepAwakeMode& mode);

private:
    MqttNodeState currentState() override;
    // The state without the lid, which is read over the bus: cheap enough
    // to compute at every reading of every monitor.
    MqttNodeState localState() const;
    void inputsChanged();
    void perform(const MqttCommand& command) override;
    void performUnattended(const MqttCommand& command);
    void record(ActivityKind kind, std::optional<std::string> text) override;
    void follow();

    AppState& state_;
    LidState& lid_;
    WallTime since_;
    MqttNodeState lastLocal_;
    std::optional<bool> lidClosed_;
    std::optional<MonoTime> lidReadAt_;
    MqttNode node_;
    std::vector<Handle> subscriptions_;
};

}  // namespace vigilo
