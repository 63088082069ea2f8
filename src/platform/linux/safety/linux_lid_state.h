#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/lid_state.h"
#include "platform/linux/dbus/bus.h"

namespace vigilo {

// The lid as the system services see it, with the kernel's ACPI button as
// the fallback when they cannot be asked.
//
// Whether there is a lid at all comes from UPower's `LidIsPresent`, else from
// the presence of <proc>/acpi/button/lid/*. Only then is the state read:
// logind's `LidClosed`, else the ACPI button's "state:" line. logind answers
// "open" on machines that have no lid, so its answer is never taken alone.
//
// A lost or missing system bus is opened again at the next reading.
class LinuxLidState final : public LidState {
public:
    static constexpr std::chrono::milliseconds kCallTimeout{300};

    explicit LinuxLidState(std::filesystem::path procRoot = "/proc");

    std::optional<bool> isClosed() override;

    // The state in one ACPI button "state" file's first line
    // ("state:      open" / "closed"); nothing for anything else.
    static std::optional<bool> parseAcpiState(std::string_view line);

private:
    std::optional<bool> busBoolean(const dbus::MethodTarget& target, const char* interface, const char* property);
    std::optional<bool> acpiLidPresent() const;
    std::optional<bool> acpiLidClosed() const;

    std::filesystem::path procRoot_;
    dbus::BusPtr bus_;
};

}  // namespace vigilo
