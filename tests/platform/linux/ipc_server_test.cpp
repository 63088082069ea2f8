#include "ipc/ipc_server.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/log_capture.h"
#include "common/temp_dir.h"
#include "ipc/ipc_client.h"
#include "platform/linux/unix_socket.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;
using ::testing::StartsWith;

// A client on the test's own thread. Its socket is non-blocking, so that the
// test drives the server's loop between the client's steps.
class Client {
public:
    explicit Client(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {
        sockaddr_un address{};
        makeUnixAddress(path, address);
        connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~Client() { ::close(fd_); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool connected() const { return connected_; }
    void send(const std::string& data) const {
        ASSERT_EQ(::send(fd_, data.data(), data.size(), MSG_NOSIGNAL), static_cast<ssize_t>(data.size()));
    }
    void finish() const { ::shutdown(fd_, SHUT_WR); }
    // Takes what has arrived; true once the server has closed.
    bool read() {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n > 0) {
                received.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            return n == 0 || errno != EAGAIN;
        }
    }
    // Closed by the server, without reading anything that waits.
    bool hungUp() const {
        pollfd pfd{fd_, POLLIN, 0};
        return ::poll(&pfd, 1, 0) == 1 && (pfd.revents & POLLHUP);
    }

    std::string received;

private:
    int fd_;
    bool connected_ = false;
};

const std::string kPong = "{\"ok\":true,\"message\":\"ping\"}\n";

class IPCServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<IPCServer>(
            loop,
            [this](const IPCRequest& request) {
                ++dispatched;
                if (duringDispatch) duringDispatch(request);
                // A reply far larger than any socket buffer, for the client that never reads.
                if (request.cmd == IPCCommand::listPatterns) return IPCResponse{.ok = true, .patterns = manyPatterns};
                return IPCResponse{.ok = true, .message = std::string(ipcCommandName(request.cmd))};
            },
            sockets, path, ::getuid());
    }

    // Runs the loop, and lets the client read, until the server closes.
    void serve(Client& client) {
        for (int turn = 0; turn < 10000 && !client.read(); ++turn) loop.runUntilIdle();
    }
    std::string talk(const std::string& request, bool finish = true) {
        Client client(path);
        if (!request.empty()) client.send(request);
        if (finish) client.finish();
        serve(client);
        return client.received;
    }
    // A client that connects, is accepted and then says nothing.
    std::unique_ptr<Client> idleClient() {
        auto client = std::make_unique<Client>(path);
        loop.runUntilIdle();
        return client;
    }

    testing::TempDir dir;
    std::string path = (dir / "vigilo-test.sock").string();
    FakeLoop loop;
    UnixSocketServer sockets;
    std::unique_ptr<IPCServer> server;
    int dispatched = 0;
    std::function<void(const IPCRequest&)> duringDispatch;
    std::vector<std::string> manyPatterns = std::vector<std::string>(50000, std::string(100, 'p'));
};

TEST_F(IPCServerTest, ReplacesAStaleSocketWithAPrivateOne) {
    dir.write("vigilo-test.sock", "stale");
    testing::LogCapture logs;
    const mode_t umask = ::umask(0);  // the mode must not depend on it
    ASSERT_TRUE(server->start());
    ::umask(umask);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(logs.contains("IPC: IPC listening at " + path));
    // Nothing is left of the private folder it was bound in.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST_F(IPCServerTest, StopLeavesASocketItDidNotCreate) {
    ASSERT_TRUE(server->start());
    UnixSocketServer other;
    auto replacement = other.listen(path);  // another owner took the path over
    ASSERT_TRUE(replacement);
    server->stop();
    EXPECT_TRUE(std::filesystem::exists(path));
    replacement->removeSocketFile();
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(IPCServerTest, FramingAndDecodingRules) {
    ASSERT_TRUE(server->start());
    EXPECT_EQ(talk(R"({"cmd":"ping"})"), kPong);
    EXPECT_EQ(talk("{\"cmd\":\"status\"}\r\n", false), "{\"ok\":true,\"message\":\"status\"}\n");
    EXPECT_EQ(talk(R"({"cmd":"ping","extra":1,"enable":null})" "\n"), kPong);
    EXPECT_THAT(talk("{\"cmd\":\"ping\"}\n{\"cmd\":\"ping\"}\n"), StartsWith("{\"ok\":false,\"message\":\"bad request: "));
    EXPECT_THAT(talk(std::string(70000, ' '), false), StartsWith("{\"ok\":false,\"message\":\"bad request: "));
    for (auto bad : {R"({"cmd":"reboot"})", "{}", "[1]", "nope"}) {
        EXPECT_THAT(talk(bad), StartsWith("{\"ok\":false,\"message\":\"bad request: ")) << bad;
    }
    EXPECT_EQ(talk(""), "");
    EXPECT_EQ(talk("\n\r\n"), "");
    EXPECT_EQ(dispatched, 3);
}

TEST_F(IPCServerTest, AReplyFarLargerThanTheSocketBufferArrivesWhole) {
    ASSERT_TRUE(server->start());
    const std::string reply = talk(R"({"cmd":"listPatterns"})");
    EXPECT_EQ(reply, encodeResponse(IPCResponse{.ok = true, .patterns = manyPatterns}) + "\n");
}

// The limit counts clients being served; each is closed at its deadline, and
// a request that has come by then, however incomplete, is answered.
TEST_F(IPCServerTest, IdleClientsHoldNobodyUpAndTheLimitRefusesTheRestAtOnce) {
    ASSERT_TRUE(server->start());
    std::vector<std::unique_ptr<Client>> idle;
    for (std::size_t i = 0; i + 2 < IPCServer::kMaxConnections; ++i) idle.push_back(idleClient());
    Client unfinished(path);  // a request without its newline, never finished
    unfinished.send(R"({"cmd":"ping"})");
    loop.runUntilIdle();
    EXPECT_EQ(talk(R"({"cmd":"ping"})"), kPong) << "served beside " << idle.size() + 1 << " open clients";

    idle.push_back(idleClient());  // the 32nd
    Client refused(path);
    ASSERT_TRUE(refused.connected());
    refused.send(R"({"cmd":"ping"})" "\n");
    loop.runUntilIdle();
    EXPECT_TRUE(refused.read()) << "the 33rd client is closed at once";
    EXPECT_EQ(refused.received, "");
    EXPECT_EQ(dispatched, 1);

    loop.fastForwardBy(IPCServer::kDeadline - 1ms);
    EXPECT_FALSE(idle.front()->hungUp());
    loop.fastForwardBy(1ms);
    for (auto& client : idle) {
        EXPECT_TRUE(client->read());
        EXPECT_EQ(client->received, "");
    }
    serve(unfinished);
    EXPECT_EQ(unfinished.received, kPong);
    EXPECT_EQ(talk(R"({"cmd":"ping"})"), kPong);
}

TEST_F(IPCServerTest, ClientThatNeverReadsItsReplyIsDroppedAtItsDeadlineWithoutHoldingUpOthers) {
    ASSERT_TRUE(server->start());
    Client stalled(path);  // like a `vigilo patterns` stopped with Ctrl-Z
    stalled.send(R"({"cmd":"listPatterns"})" "\n");
    loop.runUntilIdle();
    EXPECT_EQ(talk(R"({"cmd":"ping"})"), kPong);

    loop.fastForwardBy(IPCServer::kDeadline - 1ms);
    EXPECT_FALSE(stalled.hungUp());
    loop.fastForwardBy(1ms);
    EXPECT_TRUE(stalled.hungUp());
    serve(stalled);
    EXPECT_GT(stalled.received.size(), 0u);
    EXPECT_LT(stalled.received.size(), manyPatterns.size() * 100);
}

TEST_F(IPCServerTest, AfterThisReplyRunsOnceTheReplyIsWritten) {
    ASSERT_TRUE(server->start());
    Client quitting(path);
    std::string receivedBeforeAction = "<not run>";
    duringDispatch = [&](const IPCRequest& request) {
        if (request.cmd != IPCCommand::handOver) return;
        server->afterThisReply([&] {
            quitting.read();
            receivedBeforeAction = quitting.received;
        });
        // A question on the screen: a nested loop in which another client
        // comes, is served, and must not take this request's action.
        EXPECT_EQ(talk(R"({"cmd":"ping"})"), kPong);
        EXPECT_EQ(receivedBeforeAction, "<not run>");
    };
    quitting.send(R"({"cmd":"handOver"})" "\n");
    serve(quitting);
    EXPECT_EQ(receivedBeforeAction, "{\"ok\":true,\"message\":\"handOver\"}\n");
}

TEST_F(IPCServerTest, StopClosesEveryClientUnansweredAndDropsPendingActions) {
    ASSERT_TRUE(server->start());
    bool actionRan = false;
    duringDispatch = [&](const IPCRequest& request) {
        if (request.cmd == IPCCommand::listPatterns) server->afterThisReply([&] { actionRan = true; });
    };
    Client silent(path), stalled(path), asking(path);
    stalled.send(R"({"cmd":"listPatterns"})" "\n");
    loop.runUntilIdle();
    duringDispatch = [&](const IPCRequest&) { server->stop(); };  // stopped from within a dispatch
    asking.send(R"({"cmd":"ping"})" "\n");
    loop.runUntilIdle();

    EXPECT_FALSE(server->isListening());
    EXPECT_FALSE(std::filesystem::exists(path));
    for (Client* client : {&silent, &stalled, &asking}) EXPECT_TRUE(client->hungUp());
    EXPECT_TRUE(asking.read());
    EXPECT_EQ(asking.received, "");
    loop.runUntilIdle();
    EXPECT_FALSE(actionRan);

    UnixSocketConnector connector;
    try {
        IPCClient::send({.cmd = IPCCommand::ping}, 5, path, connector);
        ADD_FAILURE() << "no error";
    } catch (const ClientError& e) {
        EXPECT_EQ(e.kind(), ClientError::Kind::daemonNotRunning);
    }
}

TEST_F(IPCServerTest, ConnectionFromAnotherUserIsClosedUnanswered) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
    ASSERT_TRUE(server->start());
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(path.c_str(), 0666);  // let the other user reach the socket at all
    int sent[2];
    ASSERT_EQ(::pipe(sent), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) _exit(3);
        UnixSocketConnector connector;
        auto connected = connector.connect(path, 10s);
        if (!connected.connection) _exit(4);
        const std::string request = R"({"cmd":"ping"})" "\n";
        connected.connection->send(request.data(), request.size());
        (void)::write(sent[1], "x", 1);
        char byte;
        // Closed with the request unread, which may end in a reset.
        _exit(connected.connection->receive(&byte, 1).status == Transfer::Status::moved ? 1 : 0);
    }
    ::close(sent[1]);
    char byte;
    ASSERT_EQ(::read(sent[0], &byte, 1), 1);  // the child is connected and has asked
    ::close(sent[0]);
    loop.runUntilIdle();
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(dispatched, 0);
}

// Out of descriptors, the listener stays readable; asking again at once would
// spin the loop.
TEST(IPCServerAccepting, OutOfDescriptorsPausesAcceptingInsteadOfSpinning) {
    struct ShortListener : LocalListener {
        int fds[2];
        int accepts = 0;
        ShortListener() {
            EXPECT_EQ(::pipe(fds), 0);
            EXPECT_EQ(::write(fds[1], "x", 1), 1);  // always readable
        }
        ~ShortListener() override {
            ::close(fds[0]);
            ::close(fds[1]);
        }
        int fd() const override { return fds[0]; }
        AcceptResult accept() override {
            ++accepts;
            return {AcceptResult::Status::shortOfResources};
        }
        void removeSocketFile() override {}
    };
    struct Sockets : LocalSocketServer {
        ShortListener* listener = nullptr;
        std::unique_ptr<LocalListener> listen(const std::string&) override {
            auto made = std::make_unique<ShortListener>();
            listener = made.get();
            return made;
        }
    } sockets;
    FakeLoop loop;
    IPCServer server(loop, [](const IPCRequest&) { return IPCResponse{.ok = true}; }, sockets, "unused", ::getuid());
    testing::LogCapture logs;
    ASSERT_TRUE(server.start());
    loop.runUntilIdle();
    EXPECT_EQ(sockets.listener->accepts, 1);
    loop.fastForwardBy(99ms);
    EXPECT_EQ(sockets.listener->accepts, 1);
    loop.fastForwardBy(1ms);
    EXPECT_EQ(sockets.listener->accepts, 2);
    EXPECT_TRUE(logs.contains("IPC: error: Out of descriptors; accepting again in 100 ms"));
}

}  // namespace
}  // namespace vigilo
