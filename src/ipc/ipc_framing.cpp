#include "ipc/ipc_framing.h"

#include <string_view>

namespace vigilo {

std::string readMessage(LocalConnection& connection, bool stopAtNewline) {
    std::string data;
    char chunk[4096];
    while (data.size() < kMaxMessageBytes) {
        const long n = connection.receive(chunk, sizeof chunk);
        if (n < 1) break;
        const std::string_view got(chunk, static_cast<std::size_t>(n));
        data += got;
        if (stopAtNewline && got.find('\n') != std::string_view::npos) break;
    }
    return data;
}

}  // namespace vigilo
