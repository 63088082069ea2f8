#pragma once

#include "cli/fleet_command.h"
#include "platform/linux/mqtt/mosquitto_snapshot_reader.h"
#include "support/xdg_paths.h"

namespace vigilo {

// `vigilo fleet`'s view of this user and computer without the application:
// the preferences file, the password (the Secret Service item, else the
// private file), and <root>/etc/machine-id, where the root is "/" or, in the
// test suite, $VIGILO_TEST_ROOT.
class StoredFleetEnvironment final : public FleetEnvironment {
public:
    explicit StoredFleetEnvironment(XdgEnvironment env) : env_(std::move(env)) {}

    MqttOptions options() override;
    std::optional<std::string> password() override;
    std::optional<std::string> machineId() override;
    MqttSnapshotReader& reader() override { return reader_; }

private:
    XdgEnvironment env_;
    MosquittoSnapshotReader reader_;
};

}  // namespace vigilo
