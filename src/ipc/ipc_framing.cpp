#include "ipc/ipc_framing.h"

#include <string_view>

namespace vigilo {

bool MessageReader::readFrom(LocalConnection& connection) {
    char chunk[4096];
    while (!complete_ && data_.size() < kMaxMessageBytes) {
        const Transfer got = connection.receive(chunk, sizeof chunk);
        if (got.status == Transfer::Status::wouldBlock) return false;
        if (got.status != Transfer::Status::moved) {
            timedOut_ = got.status == Transfer::Status::timedOut;
            break;
        }
        const std::string_view text(chunk, got.bytes);
        data_ += text;
        if (stopAtNewline_ && text.find('\n') != std::string_view::npos) break;
    }
    complete_ = true;
    return true;
}

}  // namespace vigilo
