#include "ipc/ipc_command.h"

#include <array>
#include <utility>

namespace vigilo {

namespace {

constexpr std::array<std::pair<IPCCommand, std::string_view>, 15> kNames{{
    {IPCCommand::status, "status"},
    {IPCCommand::start, "start"},
    {IPCCommand::stop, "stop"},
    {IPCCommand::autowatch, "autowatch"},
    {IPCCommand::watch, "watch"},
    {IPCCommand::unwatch, "unwatch"},
    {IPCCommand::listPatterns, "listPatterns"},
    {IPCCommand::timer, "timer"},
    {IPCCommand::notify, "notify"},
    {IPCCommand::ping, "ping"},
    {IPCCommand::report, "report"},
    {IPCCommand::role, "role"},
    {IPCCommand::showStatus, "showStatus"},
    {IPCCommand::handOver, "handOver"},
    {IPCCommand::why, "why"},
}};

}  // namespace

std::string_view ipcCommandName(IPCCommand command) {
    for (const auto& [c, name] : kNames) {
        if (c == command) return name;
    }
    return {};
}

std::optional<IPCCommand> ipcCommandNamed(std::string_view name) {
    for (const auto& [c, n] : kNames) {
        if (n == name) return c;
    }
    return std::nullopt;
}

}  // namespace vigilo
