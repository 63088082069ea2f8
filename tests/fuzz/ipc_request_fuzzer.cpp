// The server's side of one exchange: the bytes a client sent, after the
// framing's trailing newlines are gone, decoded as a request; the reply the
// server would write must be one the client can read back.

#include <variant>

#include "fuzz_support.h"
#include "ipc/ipc_framing.h"
#include "ipc/ipc_messages.h"

using namespace vigilo;

namespace {

void checkRoundTrip(const IPCRequest& request) {
    const auto again = decodeRequest(encodeRequest(request));
    const auto* decoded = std::get_if<IPCRequest>(&again);
    fuzz::require(decoded && *decoded == request, "an encoded request decodes to itself");
}

void checkErrorReply(const std::string& error) {
    // It may quote the request, but never at length.
    fuzz::require(error.size() <= 512, "the error description is short whatever the request");
    const IPCResponse reply{.ok = false, .message = "bad request: " + error};
    const std::string wire = encodeResponse(reply) + "\n";
    // The client reads at most this much: a longer reply would reach it cut.
    fuzz::require(wire.size() < kMaxMessageBytes, "the bad-request reply fits the client's read limit");
    // The description may quote bytes that are not UTF-8, which the encoder
    // replaces: only its beginning is sure to arrive as written.
    const auto readBack = decodeResponse(wire);
    const auto* decoded = std::get_if<IPCResponse>(&readBack);
    fuzz::require(decoded && !decoded->ok && decoded->message && decoded->message->starts_with("bad request: "),
                  "the bad-request reply decodes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::textOf(data, size);
    const auto decoded = decodeRequest(text);
    if (const auto* request = std::get_if<IPCRequest>(&decoded)) {
        checkRoundTrip(*request);
    } else {
        checkErrorReply(std::get<std::string>(decoded));
    }
    // The client decodes the server's reply with the same readers.
    const auto response = decodeResponse(text);
    if (const auto* reply = std::get_if<IPCResponse>(&response)) {
        const auto again = decodeResponse(encodeResponse(*reply));
        fuzz::require(std::get_if<IPCResponse>(&again) && std::get<IPCResponse>(again) == *reply,
                      "an encoded response decodes to itself");
    }
    return 0;
}
