#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "ipc/ipc_messages.h"
#include "platform/local_socket.h"
#include "support/log.h"
#include "support/loop.h"

namespace vigilo {

// Serves the per-user socket inside the running application. One IPC thread
// accepts and reads connections strictly one after another; each decoded
// request is carried out on the main thread (through the Loop) while the IPC
// thread waits, and the reply is written back. A client gets at most
// kReadTimeoutSeconds to send its request and as long again to take the
// reply, so a silent or stopped one cannot hold up the others; connections
// from other users are closed unanswered.
//
// The caller owns the socket path (it holds the instance lock): start()
// replaces whatever is there, and stop() removes the file only while it is
// still this server's.
class IPCServer {
public:
    // Runs on the main thread.
    using Dispatch = std::function<IPCResponse(const IPCRequest&)>;

    static constexpr int kReadTimeoutSeconds = 5;

    IPCServer(Loop& loop, Dispatch dispatch, LocalSocketServer& sockets, std::string socketPath, uid_t owner,
              int readTimeoutSeconds = kReadTimeoutSeconds);
    ~IPCServer();
    IPCServer(const IPCServer&) = delete;
    IPCServer& operator=(const IPCServer&) = delete;

    // Main thread. Failures are logged; the application runs on without it.
    bool start();
    // Main thread. Stops serving and removes the socket file if it is ours.
    void stop();
    bool isListening() const { return listener_ != nullptr; }
    // Main thread, from within the dispatch: `action` runs on the loop once
    // the reply being made has been written, so that a request which ends
    // the application still gets its answer.
    void afterThisReply(std::function<void()> action) { afterReply_ = std::move(action); }

private:
    struct Shared;
    void serve();
    void handle(LocalConnection& connection);
    // `afterReply` receives what the dispatch asked to run after its reply.
    std::optional<IPCResponse> onMainThread(const IPCRequest& request, std::function<void()>& afterReply);

    Loop& loop_;
    Dispatch dispatch_;
    std::function<void()> afterReply_;  // main thread
    LocalSocketServer& sockets_;
    std::string socketPath_;
    uid_t owner_;
    int readTimeoutSeconds_;
    Logger log_{"IPC"};
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<LocalListener> listener_;
    std::thread thread_;
    LifeToken life_;
};

}  // namespace vigilo
