#include "ipc/ipc_server.h"

#include <utility>

#include "ipc/ipc_framing.h"

namespace vigilo {

namespace {

// Out of descriptors, the listening socket stays readable: accepting again
// at once would only spin.
constexpr auto kAcceptPause = std::chrono::milliseconds(100);

}  // namespace

// One client, from its request to the end of its reply. Handlers that may run
// a nested loop hold it by a shared pointer, so that stop() meanwhile cannot
// pull it from under them.
struct IPCServer::Connection {
    explicit Connection(std::unique_ptr<LocalConnection> s) : socket(std::move(s)) {}

    // First, so that it closes after the watch on its descriptor is gone.
    std::unique_ptr<LocalConnection> socket;
    MessageReader request{true};
    std::string reply;
    std::size_t replySent = 0;
    std::function<void()> afterReply;
    Handle watch;  // readable while the request comes, writable while the reply waits
    Handle deadline;
};

IPCServer::IPCServer(Loop& loop, Dispatch dispatch, LocalSocketServer& sockets, std::string socketPath, uid_t owner,
                     Duration deadline)
    : loop_(loop),
      dispatch_(std::move(dispatch)),
      sockets_(sockets),
      socketPath_(std::move(socketPath)),
      owner_(owner),
      deadline_(deadline) {}

IPCServer::~IPCServer() { stop(); }

bool IPCServer::start() {
    if (listener_) return true;
    listener_ = sockets_.listen(socketPath_);
    if (!listener_) return false;
    watchListener();
    log_.info("IPC listening at {}", socketPath_);
    return true;
}

void IPCServer::stop() {
    if (!listener_) return;
    listenerWatch_.cancel();
    acceptPause_.cancel();
    connections_.clear();
    listener_->removeSocketFile();
    listener_.reset();
}

void IPCServer::watchListener() {
    listenerWatch_ = loop_.watchReadable(listener_->fd(), [this] { acceptWaiting(); });
}

void IPCServer::acceptWaiting() {
    // Bounded, so that a flood of clients cannot keep the loop from the rest
    // of its work; the listener is still readable at the next turn.
    for (std::size_t taken = 0; taken < kMaxConnections; ++taken) {
        AcceptResult accepted = listener_->accept();
        switch (accepted.status) {
        case AcceptResult::Status::noneWaiting: return;
        case AcceptResult::Status::shortOfResources:
            log_.error("Out of descriptors; accepting again in {} ms", kAcceptPause.count());
            listenerWatch_.cancel();
            acceptPause_ = loop_.startTimer(kAcceptPause, [this] { watchListener(); });
            return;
        case AcceptResult::Status::accepted: admit(std::move(accepted.connection)); break;
        }
    }
}

void IPCServer::admit(std::unique_ptr<LocalConnection> socket) {
    if (socket->peerUid() != owner_) return;
    if (connections_.size() >= kMaxConnections) {
        if (!std::exchange(fullLogged_, true)) {
            log_.info("{} clients are connected; further ones are closed unanswered", kMaxConnections);
        }
        return;
    }
    const std::uint64_t id = nextId_++;
    auto connection = std::make_shared<Connection>(std::move(socket));
    connection->watch = loop_.watchReadable(connection->socket->fd(), [this, id] { onReadable(id); });
    // What has come by then is the request; nothing at all gets no reply.
    connection->deadline = loop_.startTimer(deadline_, [this, id] { answer(id); });
    connections_.emplace(id, std::move(connection));
}

void IPCServer::onReadable(std::uint64_t id) {
    const auto connection = find(id);
    if (connection && connection->request.readFrom(*connection->socket)) answer(id);
}

void IPCServer::answer(std::uint64_t id) {
    const auto connection = find(id);
    if (!connection) return;
    connection->watch.cancel();
    connection->deadline.cancel();

    std::string request = connection->request.data();
    while (!request.empty() && (request.back() == '\n' || request.back() == '\r')) request.pop_back();
    if (request.empty()) return close(id);

    std::function<void()> afterReply;
    const auto response = respond(request, afterReply);
    if (!response || !connections_.contains(id)) return;  // the server stopped or went meanwhile

    connection->reply = encodeResponse(*response) + "\n";
    connection->afterReply = std::move(afterReply);
    connection->deadline = loop_.startTimer(deadline_, [this, id] { close(id); });
    writeReply(id);
}

std::optional<IPCResponse> IPCServer::respond(const std::string& request, std::function<void()>& afterReply) {
    auto decoded = decodeRequest(request);
    if (auto* error = std::get_if<std::string>(&decoded)) {
        return IPCResponse{.ok = false, .message = "bad request: " + *error};
    }
    // A dispatch that asks a question runs a nested loop, in which other
    // requests come and go: each takes only the action its own dispatch set.
    auto outer = std::exchange(afterReply_, {});
    const auto alive = life_.weak();
    const Dispatch dispatch = dispatch_;  // outlives a server that goes meanwhile
    IPCResponse response = dispatch(std::get<IPCRequest>(decoded));
    if (alive.expired()) return std::nullopt;
    afterReply = std::exchange(afterReply_, std::move(outer));
    return response;
}

void IPCServer::writeReply(std::uint64_t id) {
    const auto connection = find(id);
    if (!connection) return;
    const std::string& reply = connection->reply;
    while (connection->replySent < reply.size()) {
        const Transfer sent =
            connection->socket->send(reply.data() + connection->replySent, reply.size() - connection->replySent);
        if (sent.status == Transfer::Status::wouldBlock) {
            if (!connection->watch.active()) {
                connection->watch = loop_.watchWritable(connection->socket->fd(), [this, id] { writeReply(id); });
            }
            return;
        }
        if (sent.status != Transfer::Status::moved) break;  // the client left
        connection->replySent += sent.bytes;
    }
    close(id);
}

void IPCServer::close(std::uint64_t id) {
    const auto found = connections_.find(id);
    if (found == connections_.end()) return;
    auto then = std::move(found->second->afterReply);
    connections_.erase(found);
    if (connections_.size() < kMaxConnections) fullLogged_ = false;
    if (then) loop_.post(std::move(then));
}

IPCServer::ConnectionPtr IPCServer::find(std::uint64_t id) const {
    const auto found = connections_.find(id);
    return found == connections_.end() ? nullptr : found->second;
}

}  // namespace vigilo
