#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vigilo {

// SHA-256 of `data`, for the node id alone: not constant-time.
std::array<std::uint8_t, 32> sha256(std::string_view data);

// This computer's name on the broker: the first 12 hex digits of SHA-256 of
// the machine id followed by "vigilo", so the machine id itself never leaves
// the computer. `machineIdFile` is /etc/machine-id's contents; only its 32
// hex digits count (the newline does not). Nothing for anything else.
std::optional<std::string> mqttNodeId(std::string_view machineIdFile);

}  // namespace vigilo
