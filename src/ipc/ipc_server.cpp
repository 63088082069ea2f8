#include "ipc/ipc_server.h"

#include <utility>

#include "ipc/ipc_framing.h"

namespace vigilo {

// What the IPC thread and the main thread share; outlives both sides' use.
struct IPCServer::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool stopping = false;
    LocalConnection* current = nullptr;  // the connection being served
};

IPCServer::IPCServer(Loop& loop, Dispatch dispatch, LocalSocketServer& sockets, std::string socketPath, uid_t owner,
                     int readTimeoutSeconds)
    : loop_(loop),
      dispatch_(std::move(dispatch)),
      sockets_(sockets),
      socketPath_(std::move(socketPath)),
      owner_(owner),
      readTimeoutSeconds_(readTimeoutSeconds),
      shared_(std::make_shared<Shared>()) {}

IPCServer::~IPCServer() { stop(); }

bool IPCServer::start() {
    if (listener_) return true;
    listener_ = sockets_.listen(socketPath_);
    if (!listener_) return false;
    shared_->stopping = false;
    thread_ = std::thread([this] { serve(); });
    log_.info("IPC listening at {}", socketPath_);
    return true;
}

void IPCServer::stop() {
    if (!listener_) return;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
        if (shared_->current) shared_->current->abort();
    }
    shared_->changed.notify_all();
    listener_->shutdown();
    thread_.join();
    listener_->removeSocketFile();
    listener_.reset();
}

void IPCServer::serve() {
    for (;;) {
        auto connection = listener_->accept(readTimeoutSeconds_);
        if (!connection) return;
        {
            std::lock_guard lock(shared_->mutex);
            if (shared_->stopping) return;
            shared_->current = connection.get();
        }
        handle(*connection);
        std::lock_guard lock(shared_->mutex);
        shared_->current = nullptr;
    }
}

void IPCServer::handle(LocalConnection& connection) {
    if (connection.peerUid() != owner_) return;

    std::string data = readMessage(connection, true);
    while (!data.empty() && (data.back() == '\n' || data.back() == '\r')) data.pop_back();
    if (data.empty()) return;

    std::optional<IPCResponse> reply;
    std::function<void()> afterReply;
    auto decoded = decodeRequest(data);
    if (auto* error = std::get_if<std::string>(&decoded)) {
        reply = IPCResponse{.ok = false, .message = "bad request: " + *error};
    } else {
        reply = onMainThread(std::get<IPCRequest>(decoded), afterReply);
    }
    if (!reply) return;
    const std::string wire = encodeResponse(*reply) + "\n";
    connection.send(wire.data(), wire.size());  // a client that left is not our problem
    if (afterReply) loop_.post(std::move(afterReply));
}

std::optional<IPCResponse> IPCServer::onMainThread(const IPCRequest& request, std::function<void()>& afterReply) {
    struct Box {
        std::optional<IPCResponse> value;
        std::function<void()> afterReply;
        bool done = false;
    };
    auto box = std::make_shared<Box>();
    auto shared = shared_;
    loop_.post([this, alive = life_.weak(), box, shared, request] {
        std::optional<IPCResponse> value;
        std::function<void()> then;
        bool stopping;
        {
            std::lock_guard lock(shared->mutex);
            stopping = shared->stopping;
        }
        if (!alive.expired() && !stopping) {
            value = dispatch_(request);
            then = std::exchange(afterReply_, {});
        }
        {
            std::lock_guard lock(shared->mutex);
            box->value = std::move(value);
            box->afterReply = std::move(then);
            box->done = true;
        }
        shared->changed.notify_all();
    });

    std::unique_lock lock(shared->mutex);
    shared->changed.wait(lock, [&] { return box->done || shared->stopping; });
    if (!box->done) return std::nullopt;  // shutting down: no reply
    afterReply = std::move(box->afterReply);
    return box->value ? box->value : IPCResponse{.ok = false, .message = "unknown"};
}

}  // namespace vigilo
