#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "ipc/ipc_messages.h"
#include "platform/local_socket.h"
#include "support/log.h"
#include "support/loop.h"

namespace vigilo {

// Serves the per-user socket inside the running application, on the main
// loop: clients are accepted as the listening socket becomes readable and
// served side by side over non-blocking connections, each request carried out
// as soon as it has arrived. A client gets `deadline` to send its request and,
// once the reply is made, as long again to take it; one that is silent or
// stopped is closed then, without holding up anyone else. At most
// kMaxConnections are open at once: further clients are closed at once, and
// so are other users', unanswered.
//
// The caller owns the socket path (it holds the instance lock): start()
// replaces whatever is there, and stop() removes the file only while it is
// still this server's.
class IPCServer {
public:
    // Runs on the main thread. It may run a nested loop (a question on the
    // screen); other clients are served meanwhile.
    using Dispatch = std::function<IPCResponse(const IPCRequest&)>;

    static constexpr Duration kDeadline = std::chrono::seconds(5);
    static constexpr std::size_t kMaxConnections = 32;

    IPCServer(Loop& loop, Dispatch dispatch, LocalSocketServer& sockets, std::string socketPath, uid_t owner,
              Duration deadline = kDeadline);
    ~IPCServer();
    IPCServer(const IPCServer&) = delete;
    IPCServer& operator=(const IPCServer&) = delete;

    // Failures are logged; the application runs on without it.
    bool start();
    // Closes every connection unanswered (what afterThisReply() asked for
    // then never runs) and removes the socket file if it is ours.
    void stop();
    bool isListening() const { return listener_ != nullptr; }
    // From within the dispatch: `action` runs on the loop once the reply
    // being made has been written (or its client left or missed its
    // deadline), so that a request which ends the application still gets its
    // answer.
    void afterThisReply(std::function<void()> action) { afterReply_ = std::move(action); }

private:
    struct Connection;
    using ConnectionPtr = std::shared_ptr<Connection>;

    void watchListener();
    void acceptWaiting();
    void admit(std::unique_ptr<LocalConnection> socket);
    void onReadable(std::uint64_t id);
    void answer(std::uint64_t id);
    // nullopt when the server went away during the dispatch.
    std::optional<IPCResponse> respond(const std::string& request, std::function<void()>& afterReply);
    void writeReply(std::uint64_t id);
    void close(std::uint64_t id);
    ConnectionPtr find(std::uint64_t id) const;

    Loop& loop_;
    Dispatch dispatch_;
    std::function<void()> afterReply_;
    LocalSocketServer& sockets_;
    std::string socketPath_;
    uid_t owner_;
    Duration deadline_;
    Logger log_{"IPC"};
    std::unique_ptr<LocalListener> listener_;
    Handle listenerWatch_;
    Handle acceptPause_;
    std::map<std::uint64_t, ConnectionPtr> connections_;
    std::uint64_t nextId_ = 1;
    bool fullLogged_ = false;
    LifeToken life_;
};

}  // namespace vigilo
