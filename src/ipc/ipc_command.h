#pragma once

#include <optional>
#include <string_view>

namespace vigilo {

// A request's command, carried on the wire as its name.
enum class IPCCommand {
    status,
    start,
    stop,
    autowatch,
    watch,
    unwatch,
    listPatterns,
    timer,
    notify,
    ping,
    report,
    role,
    showStatus,
    handOver,
    why,
};

std::string_view ipcCommandName(IPCCommand command);
std::optional<IPCCommand> ipcCommandNamed(std::string_view name);

}  // namespace vigilo
