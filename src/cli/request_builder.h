#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "ipc/ipc_messages.h"

namespace vigilo {

// A command line that cannot be sent: the message for standard error.
struct UsageError {
    std::string message;
    bool operator==(const UsageError&) const = default;
};

// A request ready to send, and what to tell the person on standard error
// before it goes: a value the command line had to change (a capped timer).
struct DaemonRequest {
    IPCRequest request;
    std::optional<std::string> notice;
    bool operator==(const DaemonRequest&) const = default;
};

using BuiltRequest = std::variant<DaemonRequest, UsageError>;

// The request for a daemon command line (`status`, `start`, ... `report`),
// or nullopt when the first argument is not a daemon command.
std::optional<BuiltRequest> buildDaemonRequest(const std::vector<std::string>& arguments);

}  // namespace vigilo
