#pragma once

#include <cstddef>
#include <string>

#include "platform/local_socket.h"

namespace vigilo {

inline constexpr std::size_t kMaxMessageBytes = 65536;

// Reads in 4,096-byte chunks until the peer ends its side, a read fails or
// times out, `kMaxMessageBytes` or more have arrived, or (when asked) a chunk
// brings a newline. Whatever followed the newline in that chunk is kept.
std::string readMessage(LocalConnection& connection, bool stopAtNewline);

}  // namespace vigilo
