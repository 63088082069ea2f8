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

using BuiltRequest = std::variant<IPCRequest, UsageError>;

// The request for a daemon command line (`status`, `start`, ... `report`),
// or nullopt when the first argument is not a daemon command.
std::optional<BuiltRequest> buildDaemonRequest(const std::vector<std::string>& arguments);

// A base-10 whole number: optional single sign, digits only, 64-bit range.
std::optional<long long> parseWholeNumber(const std::string& text);

}  // namespace vigilo
