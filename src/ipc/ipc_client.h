#pragma once

#include <stdexcept>
#include <string>

#include "ipc/ipc_messages.h"
#include "platform/local_socket.h"

namespace vigilo {

// Why a request did not get a reply. description() is what the command line
// prints.
class ClientError : public std::exception {
public:
    enum class Kind { io, decode, daemonNotRunning, timedOut };

    static ClientError io(std::string message) { return {Kind::io, std::move(message)}; }
    static ClientError decode(std::string message) { return {Kind::decode, std::move(message)}; }
    static ClientError daemonNotRunning() { return {Kind::daemonNotRunning, {}}; }
    // The application took the connection but did not answer within the time-out.
    static ClientError timedOut() { return {Kind::timedOut, {}}; }

    Kind kind() const { return kind_; }
    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    ClientError(Kind kind, std::string message);
    Kind kind_;
    std::string description_;
};

// The command line's side of the socket: one blocking request and reply per
// call, no state, no retries.
class IPCClient {
public:
    // Sends `request` to the socket at `socketPath` and returns the reply as
    // it came, whatever its `ok` says. Throws ClientError. `timeoutSeconds`
    // bounds connecting, each write and each read without data.
    static IPCResponse send(const IPCRequest& request, double timeoutSeconds, const std::string& socketPath,
                            LocalSocketConnector& connector);
};

}  // namespace vigilo
