#include "ipc/ipc_server.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "common/log_capture.h"
#include "common/temp_dir.h"
#include "ipc/ipc_client.h"
#include "platform/linux/sd_event_loop.h"
#include "platform/linux/unix_socket.h"

namespace vigilo {
namespace {

using ::testing::StartsWith;

// A raw client: sends `data`, optionally shuts its side, reads to the end.
std::string talk(const std::string& path, const std::string& data, bool shutdownAfter = true) {
    UnixSocketConnector connector;
    auto connected = connector.connect(path, 10);
    if (!connected.connection) return "<connect failed: " + connected.error + ">";
    auto& connection = *connected.connection;
    if (!data.empty()) connection.send(data.data(), data.size());
    if (shutdownAfter) connection.shutdownWrite();
    std::string reply;
    char buffer[4096];
    for (long n; (n = connection.receive(buffer, sizeof buffer)) > 0;) reply.append(buffer, static_cast<std::size_t>(n));
    return reply;
}

class IPCServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<IPCServer>(
            loop,
            [this](const IPCRequest& request) {
                ++dispatched;
                EXPECT_EQ(std::this_thread::get_id(), mainThread);
                // A reply far larger than any socket buffer, for the client that never reads.
                if (request.cmd == IPCCommand::listPatterns) return IPCResponse{.ok = true, .patterns = manyPatterns};
                return IPCResponse{.ok = true, .message = std::string(ipcCommandName(request.cmd))};
            },
            sockets, path, ::getuid(), 1);
    }

    // Runs `clients` on another thread while the loop serves the main thread.
    void withClients(const std::function<void()>& clients) {
        std::thread thread([&] {
            clients();
            loop.post([this] { loop.quit(); });
        });
        loop.run();
        thread.join();
    }

    testing::TempDir dir;
    std::string path = (dir / "vigilo-test.sock").string();
    SdEventLoop loop;
    UnixSocketServer sockets;
    std::unique_ptr<IPCServer> server;
    int dispatched = 0;
    std::vector<std::string> manyPatterns = std::vector<std::string>(50000, std::string(100, 'p'));
    std::thread::id mainThread = std::this_thread::get_id();
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

TEST_F(IPCServerTest, ClientThatNeverReadsItsReplyIsDroppedAndTheNextOneServed) {
    ASSERT_TRUE(server->start());
    withClients([&] {
        UnixSocketConnector connector;
        auto stalled = connector.connect(path, 10);  // like a `vigilo patterns` stopped with Ctrl-Z
        ASSERT_TRUE(stalled.connection);
        const std::string request = R"({"cmd":"listPatterns"})" "\n";
        stalled.connection->send(request.data(), request.size());
        const auto before = std::chrono::steady_clock::now();
        EXPECT_EQ(talk(path, R"({"cmd":"ping"})"), "{\"ok\":true,\"message\":\"ping\"}\n");
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
    });
}

TEST_F(IPCServerTest, FramingAndDecodingRules) {
    ASSERT_TRUE(server->start());
    withClients([&] {
        EXPECT_EQ(talk(path, R"({"cmd":"ping"})"), "{\"ok\":true,\"message\":\"ping\"}\n");
        EXPECT_EQ(talk(path, "{\"cmd\":\"status\"}\r\n", false), "{\"ok\":true,\"message\":\"status\"}\n");
        EXPECT_EQ(talk(path, R"({"cmd":"ping","extra":1,"enable":null})" "\n"),
                  "{\"ok\":true,\"message\":\"ping\"}\n");
        EXPECT_THAT(talk(path, "{\"cmd\":\"ping\"}\n{\"cmd\":\"ping\"}\n"), StartsWith("{\"ok\":false,\"message\":\"bad request: "));
        EXPECT_THAT(talk(path, std::string(70000, ' '), false), StartsWith("{\"ok\":false,\"message\":\"bad request: "));
        for (auto bad : {R"({"cmd":"reboot"})", "{}", "[1]", "nope"}) {
            EXPECT_THAT(talk(path, bad), StartsWith("{\"ok\":false,\"message\":\"bad request: ")) << bad;
        }
        EXPECT_EQ(talk(path, ""), "");
        EXPECT_EQ(talk(path, "\n\r\n"), "");
    });
    EXPECT_EQ(dispatched, 3);
}

TEST_F(IPCServerTest, SilentClientIsCutOffAndTheNextOneServed) {
    ASSERT_TRUE(server->start());
    withClients([&] {
        UnixSocketConnector connector;
        auto silent = connector.connect(path, 10);  // sends nothing, never closes
        ASSERT_TRUE(silent.connection);
        EXPECT_EQ(talk(path, R"({"cmd":"ping"})"), "{\"ok\":true,\"message\":\"ping\"}\n");
        char byte;
        EXPECT_EQ(silent.connection->receive(&byte, 1), 0);  // closed without a reply
    });
}

TEST_F(IPCServerTest, StoppedServerIsNotRunningForTheClient) {
    ASSERT_TRUE(server->start());
    server->stop();
    EXPECT_FALSE(std::filesystem::exists(path));
    UnixSocketConnector connector;
    try {
        IPCClient::send({.cmd = IPCCommand::ping}, 5, path, connector);
        ADD_FAILURE() << "no error";
    } catch (const ClientError& e) {
        EXPECT_EQ(e.kind(), ClientError::Kind::daemonNotRunning);
    }
}

TEST_F(IPCServerTest, StopReturnsPromptlyWhileAClientIsConnected) {
    ASSERT_TRUE(server->start());
    UnixSocketConnector connector;
    auto silent = connector.connect(path, 10);
    ASSERT_TRUE(silent.connection);
    server->stop();  // must not wait for the silent client
    EXPECT_FALSE(server->isListening());
}

TEST_F(IPCServerTest, ConnectionFromAnotherUserIsClosedUnanswered) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
    ASSERT_TRUE(server->start());
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(path.c_str(), 0666);  // let the other user reach the socket at all
    withClients([&] {
        pid_t child = ::fork();
        if (child == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) _exit(3);
            _exit(talk(path, R"({"cmd":"ping"})") == "" ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    });
    EXPECT_EQ(dispatched, 0);
}

}  // namespace
}  // namespace vigilo
