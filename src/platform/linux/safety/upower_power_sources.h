#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/linux/dbus/bus.h"
#include "platform/power_sources.h"
#include "support/loop.h"

namespace vigilo {

// Power sources as UPower sees them, on the system bus. UPower's display
// device, when it is a present battery, is the machine's battery: its
// `Percentage` (truncated) out of 100, charging when its `State` is 1, on AC
// power unless UPower's `OnBattery` is true. PropertiesChanged on the display
// device or on UPower itself is the change notification; the connection is
// watched on the main loop for it.
//
// copySources() gives nothing when UPower is not on the bus (or the bus is
// gone); a lost connection is opened again at the next read. Main thread only.
class UPowerPowerSources final : public PowerSources {
public:
    static constexpr std::chrono::milliseconds kCallTimeout{500};

    explicit UPowerPowerSources(Loop& loop);
    ~UPowerPowerSources() override;
    UPowerPowerSources(const UPowerPowerSources&) = delete;
    UPowerPowerSources& operator=(const UPowerPowerSources&) = delete;

    std::optional<std::vector<PowerSourceDescription>> copySources() override;
    std::optional<Handle> watchChanges(std::function<void()> onChange) override;

private:
    struct SlotUnref {
        void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
    };
    using SlotPtr = std::unique_ptr<sd_bus_slot, SlotUnref>;

    bool connect();
    void disconnect();
    bool addMatch(const char* path, SlotPtr& slot);
    void drain();
    void scheduleDrain();
    void notifyWatchers();
    void noteFailure(const dbus::BusError& error);
    static int onPropertiesChanged(sd_bus_message* message, void* userdata, sd_bus_error* error);

    Loop& loop_;
    dbus::BusPtr bus_;
    SlotPtr deviceMatch_;
    SlotPtr daemonMatch_;
    Handle busWatch_;
    std::map<std::uint64_t, std::function<void()>> watchers_;
    std::uint64_t nextWatcher_ = 0;
    LifeToken life_;
};

}  // namespace vigilo
