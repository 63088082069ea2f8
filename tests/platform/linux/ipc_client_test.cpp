#include "ipc/ipc_client.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "common/temp_dir.h"
#include "platform/linux/unix_socket.h"

namespace vigilo {
namespace {

// A one-connection server: reads the request until end of stream, then lets
// the test decide what goes back.
class OneShotServer {
public:
    using Respond = std::function<void(int fd, const std::string& request)>;

    OneShotServer(const std::string& path, Respond respond) {
        listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        EXPECT_TRUE(makeUnixAddress(path, address));
        EXPECT_EQ(::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(listenFd_, 4), 0);
        thread_ = std::thread([this, respond] {
            int fd = ::accept(listenFd_, nullptr, nullptr);
            if (fd < 0) return;
            char buffer[4096];
            for (;;) {
                auto n = ::read(fd, buffer, sizeof buffer);
                if (n <= 0) break;
                received.append(buffer, static_cast<std::size_t>(n));
            }
            respond(fd, received);
            ::close(fd);
        });
    }
    ~OneShotServer() {
        thread_.join();
        ::close(listenFd_);
    }
    std::string received;

private:
    int listenFd_;
    std::thread thread_;
};

void writeAll(int fd, const std::string& data) { ASSERT_EQ(::write(fd, data.data(), data.size()), static_cast<ssize_t>(data.size())); }

class IPCClientTest : public ::testing::Test {
protected:
    IPCResponse send(IPCRequest request = {.cmd = IPCCommand::ping}, double timeoutSeconds = 5) {
        return IPCClient::send(request, timeoutSeconds, path, connector);
    }
    ClientError failure(IPCRequest request = {.cmd = IPCCommand::ping}, double timeoutSeconds = 5) {
        try {
            send(request, timeoutSeconds);
        } catch (const ClientError& e) {
            return e;
        }
        ADD_FAILURE() << "no error";
        return ClientError::io("none");
    }

    testing::TempDir dir;
    std::string path = (dir / "vigilo-test.sock").string();
    UnixSocketConnector connector;
};

TEST_F(IPCClientTest, SendsOneLineAndDecodesTheReplyWithOrWithoutItsNewline) {
    std::string request;
    for (const std::string reply : {"{\"ok\":true,\"message\":\"pong\"}\n", "{\"ok\":true,\"message\":\"pong\"}"}) {
        ::unlink(path.c_str());
        OneShotServer server(path, [&](int fd, const std::string& got) {
            request = got;
            writeAll(fd, reply);
        });
        auto answer = send({.cmd = IPCCommand::watch, .patterns = std::vector<std::string>{"a/b"}});
        EXPECT_TRUE(answer.ok);
        EXPECT_EQ(answer.message, "pong");
    }
    EXPECT_EQ(request, "{\"cmd\":\"watch\",\"patterns\":[\"a\\/b\"]}\n");
}

TEST_F(IPCClientTest, NoSocketFileOrAStaleOneMeansNotRunning) {
    auto error = failure();
    EXPECT_EQ(error.kind(), ClientError::Kind::daemonNotRunning);
    EXPECT_EQ(error.description(), "Vigilo isn't running. Open the app first, then re-run.");

    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);  // bound, never listening
    sockaddr_un address{};
    makeUnixAddress(path, address);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    EXPECT_EQ(failure().kind(), ClientError::Kind::daemonNotRunning);
}

TEST_F(IPCClientTest, SilentGarbageAndOversizedRepliesAreErrors) {
    const std::string notInTime = "The running Vigilo did not answer in time.";
    const struct {
        std::string reply;
        bool thenSilent;  // keeps the connection open without a word more
        ClientError::Kind kind;
        std::string description;  // its start
    } cases[] = {
        {"", false, ClientError::Kind::io, "IO error: empty response"},
        {"{\"ok\":tru", false, ClientError::Kind::decode, "Decode error: "},
        // A valid reply, but longer than the client reads: cut, so undecodable.
        {"{\"ok\":true,\"message\":\"" + std::string(70000, 'x') + "\"}\n", false, ClientError::Kind::decode,
         "Decode error: "},
        {"", true, ClientError::Kind::timedOut, notInTime},
        {"{\"ok\":tru", true, ClientError::Kind::timedOut, notInTime},
    };
    for (const auto& c : cases) {
        ::unlink(path.c_str());
        OneShotServer server(path, [&](int fd, const std::string&) {
            (void)::send(fd, c.reply.data(), c.reply.size(), MSG_NOSIGNAL);
            pollfd clientGone{fd, 0, 0};  // a hang-up is reported whatever is asked
            if (c.thenSilent) ::poll(&clientGone, 1, 10000);
        });
        auto error = failure({.cmd = IPCCommand::ping}, c.thenSilent ? 0.2 : 5);
        EXPECT_EQ(error.kind(), c.kind) << c.description;
        EXPECT_THAT(error.description(), ::testing::StartsWith(c.description));
    }
}

// A running application whose loop is stuck lets clients pile up in the
// listener's queue until connecting itself waits.
TEST_F(IPCClientTest, AFullListenerQueueIsNoAnswerInTime) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    makeUnixAddress(path, address);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 0), 0);
    std::vector<std::unique_ptr<LocalConnection>> queued;
    for (int i = 0; i < 2; ++i) {
        auto connected = connector.connect(path, std::chrono::milliseconds(100));
        if (connected.connection) queued.push_back(std::move(connected.connection));
    }
    ASSERT_FALSE(queued.empty());
    EXPECT_EQ(failure({.cmd = IPCCommand::ping}, 0.2).kind(), ClientError::Kind::timedOut);
    ::close(fd);
}

TEST_F(IPCClientTest, PathTooLongIsAnIOError) {
    path = dir.write(std::string(60, 'a') + "/" + std::string(60, 'b') + "/vigilo.sock", "").string();
    EXPECT_EQ(failure().description(), "IO error: socket path too long");
}

}  // namespace
}  // namespace vigilo
