#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/inhibitor_sources.h"
#include "platform/linux/dbus/bus.h"
#include "support/loop.h"

namespace vigilo {

// logind on the system bus, GNOME's session manager and KDE's policy agent
// on the session bus, each asked with a 2-second limit; /proc tells who
// holds logind's locks. Changes come from logind's PropertiesChanged on its
// manager (sent on every lock taken or released), GNOME's InhibitorAdded and
// InhibitorRemoved and KDE's PropertiesChanged and InhibitionsChanged, the
// connections watched on the loop. Main thread (or the command line's only
// thread) only.
class LinuxInhibitorSources final : public InhibitorSources {
public:
    static constexpr std::chrono::seconds kSourceLimit{2};

    // Without a loop nothing can be watched (the command line).
    explicit LinuxInhibitorSources(Loop* loop = nullptr, std::filesystem::path procRoot = "/proc");
    ~LinuxInhibitorSources() override;
    LinuxInhibitorSources(const LinuxInhibitorSources&) = delete;
    LinuxInhibitorSources& operator=(const LinuxInhibitorSources&) = delete;

    InhibitorSnapshot read() override;
    Handle watch(std::function<void()> onChange) override;

private:
    struct SlotUnref {
        void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
    };
    using SlotPtr = std::unique_ptr<sd_bus_slot, SlotUnref>;
    struct Connection {
        dbus::BusKind kind;
        dbus::BusPtr bus;
        bool tried = false;
        Handle busWatch;
    };

    sd_bus* bus(Connection& connection, std::vector<std::string>& failures);
    void forget(Connection& connection);
    bool subscribe(Connection& connection);
    void drain(Connection& connection);
    void stopWatching();
    static int onSignal(sd_bus_message* message, void* userdata, sd_bus_error* error);
    // A service that let a call time out is left for a while, so that a
    // stream of signals cannot hold the application's loop 2 s at a time.
    enum Service { logind, gnome, kde, serviceCount };
    bool resting(Service service, std::vector<std::string>& failures) const;
    void rest(Service service, const dbus::BusError& error);

    Loop* loop_;
    std::filesystem::path procRoot_;
    Connection system_{dbus::BusKind::system};
    Connection session_{dbus::BusKind::session};
    std::vector<SlotPtr> matches_;
    std::function<void()> onChange_;
    std::array<std::optional<MonoTime>, serviceCount> restUntil_{};
    LifeToken life_;
};

}  // namespace vigilo
