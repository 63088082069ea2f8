#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/linux/dbus/bus.h"
#include "platform/network_monitor.h"
#include "support/loop.h"

namespace vigilo {

// The network as NetworkManager sees it, on the system bus: usable while its
// `State` is 60 or 70 (site or global connectivity, both with a default
// route). Changes come from its StateChanged signal and from
// PropertiesChanged on the manager object; the connection is watched on the
// main loop. Main thread only.
class NetworkManagerMonitor final : public NetworkMonitor {
public:
    explicit NetworkManagerMonitor(Loop& loop) : loop_(loop) {}
    ~NetworkManagerMonitor() override;
    NetworkManagerMonitor(const NetworkManagerMonitor&) = delete;
    NetworkManagerMonitor& operator=(const NetworkManagerMonitor&) = delete;

    // Whether NetworkManager owns its name on the system bus now.
    static bool isRunning();

    // An empty Handle, and nothing ever reported, when NetworkManager cannot
    // be asked.
    Handle start(std::function<void(bool up)> onChange) override;

    static bool isUsable(std::uint32_t state) { return state == 60 || state == 70; }

private:
    struct SlotUnref {
        void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
    };
    using SlotPtr = std::unique_ptr<sd_bus_slot, SlotUnref>;

    void stop();
    void drain();
    void report(std::uint32_t state);
    static int onStateChanged(sd_bus_message* message, void* userdata, sd_bus_error* error);
    static int onPropertiesChanged(sd_bus_message* message, void* userdata, sd_bus_error* error);

    Loop& loop_;
    dbus::BusPtr bus_;
    SlotPtr stateMatch_;
    SlotPtr propertiesMatch_;
    Handle busWatch_;
    std::function<void(bool)> onChange_;
    std::optional<bool> lastUp_;
    LifeToken life_;
};

}  // namespace vigilo
