#pragma once

#include <cstddef>
#include <string>

#include "platform/local_socket.h"

namespace vigilo {

inline constexpr std::size_t kMaxMessageBytes = 65536;

// Gathers one message from a connection as it arrives, in 4,096-byte chunks:
// until the peer ends its side, a read fails or times out, `kMaxMessageBytes`
// or more have arrived, or (when asked) a chunk brings a newline. Whatever
// followed the newline in that chunk is kept.
class MessageReader {
public:
    explicit MessageReader(bool stopAtNewline) : stopAtNewline_(stopAtNewline) {}

    // Reads what the connection has. True once the message is complete; a
    // non-blocking connection with nothing more just now gives false.
    bool readFrom(LocalConnection& connection);
    bool complete() const { return complete_; }
    // The message ended because the connection's time-out passed.
    bool timedOut() const { return timedOut_; }
    const std::string& data() const { return data_; }

private:
    bool stopAtNewline_;
    bool complete_ = false;
    bool timedOut_ = false;
    std::string data_;
};

}  // namespace vigilo
