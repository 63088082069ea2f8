#include "platform/linux/process/login_shell_child_launcher.h"

#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <sstream>

#include "cli/command_runner.h"
#include "common/log_capture.h"
#include "platform/linux/sd_event_loop.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;

// Descriptors that become readable when the processes whose ids are the
// lines of `text` end (they are not our children: a pidfd is the way to wait).
std::vector<int> pidfdsOfLines(const std::string& text) {
    std::vector<int> pidfds;
    std::istringstream lines(text);
    for (pid_t pid; lines >> pid;) pidfds.push_back(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    return pidfds;
}

// Whether every one of them ends within a few seconds; closes them.
bool allEnd(const std::vector<int>& pidfds) {
    bool ended = !pidfds.empty();
    for (int fd : pidfds) {
        pollfd exited{fd, POLLIN, 0};
        ended = ended && fd >= 0 && ::poll(&exited, 1, 5000) == 1;
        ::close(fd);
    }
    return ended;
}

// The runner on the daemon's real loop with real children of /bin/sh. Every
// run is bounded by a time-out; nothing waits for a fixed time.
class RealCommandRunnerTest : public ::testing::Test {
protected:
    RealCommandRunnerTest() {
        runner.onFinish = [this](std::int32_t code, double seconds) {
            finishes.emplace_back(code, seconds);
            loop.quit(0);
        };
    }

    // Runs the loop until the command finishes; false on time-out. Once per
    // test: a loop that has quit does not run again.
    bool runToEnd(std::string_view command) {
        runner.run(command);
        if (!runner.isRunning().get()) return false;
        auto timeout = loop.startTimer(10s, [this] { loop.quit(1); });
        return loop.run() == 0;
    }

    SdEventLoop loop;
    LoginShellChildLauncher launcher{"/bin/sh"};
    CommandRunner runner{loop, launcher};
    std::vector<std::pair<std::int32_t, double>> finishes;
};

TEST_F(RealCommandRunnerTest, ChunksAndSplitCharactersFromARealChildJoinIntoLinesWithNothingOnInput) {
    ASSERT_TRUE(runToEnd("cat; printf a; sleep 0.05; printf 'b\\n'; sleep 0.05; printf 'c\\n'; printf 'd\\n\\ne\\n'; "
                         "printf 'caf\\303'; sleep 0.05; printf '\\251\\n'"));
    EXPECT_EQ(runner.outputTail().get(), "ab\nc\nd\n\ne\ncaf\xC3\xA9");
    EXPECT_EQ(runner.exitCode().get(), 0);
}

TEST_F(RealCommandRunnerTest, ExitStatusAndDurationNearZero) {
    ASSERT_TRUE(runToEnd("exit 3"));
    ASSERT_EQ(finishes.size(), 1u);
    EXPECT_EQ(finishes[0].first, 3);
    EXPECT_LT(finishes[0].second, 2.0);
    EXPECT_GE(finishes[0].second, 0.0);
    EXPECT_EQ(runner.exitCode().get(), 3);
    EXPECT_FALSE(runner.isRunning().get());
}

TEST_F(RealCommandRunnerTest, StopSendsSigtermAndReports143) {
    runner.run("echo started; exec sleep 30");
    ASSERT_NE(runner.process(), nullptr);
    auto subscription = runner.outputTail().subscribe([this](const std::string& tail) {
        if (tail == "started") runner.process()->terminate();
    });
    auto timeout = loop.startTimer(10s, [this] { loop.quit(1); });
    ASSERT_EQ(loop.run(), 0);
    EXPECT_EQ(runner.exitCode().get(), 143);
    ASSERT_EQ(finishes.size(), 1u);
    EXPECT_EQ(finishes[0].first, 143);
}

TEST_F(RealCommandRunnerTest, StopEndsTheWholeJob) {
    runner.run("sleep 100 & echo $!; sleep 100 & echo $!; wait");
    std::vector<int> grandchildren;
    auto subscription = runner.outputTail().subscribe([&](const std::string& tail) {
        if (!grandchildren.empty() || tail.find('\n') == std::string::npos) return;
        grandchildren = pidfdsOfLines(tail);
        runner.process()->terminate();
    });
    auto timeout = loop.startTimer(10s, [this] { loop.quit(1); });
    ASSERT_EQ(loop.run(), 0);
    EXPECT_EQ(runner.exitCode().get(), 143);
    EXPECT_EQ(grandchildren.size(), 2u);
    EXPECT_TRUE(allEnd(grandchildren));
}

TEST_F(RealCommandRunnerTest, DestroyingTheRunnerEndsAndReapsTheJob) {
    auto owned = std::make_unique<CommandRunner>(loop, launcher);
    owned->run("sleep 100 & echo $!; sleep 100");
    const pid_t shell = owned->process()->pid();
    std::vector<int> grandchild;
    auto subscription = owned->outputTail().subscribe([&](const std::string& tail) {
        grandchild = pidfdsOfLines(tail);
        loop.quit(0);
    });
    auto timeout = loop.startTimer(10s, [this] { loop.quit(1); });
    ASSERT_EQ(loop.run(), 0);
    subscription.cancel();
    owned.reset();
    EXPECT_EQ(::waitpid(shell, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_TRUE(allEnd(grandchild));
}

TEST_F(RealCommandRunnerTest, ChildHoldsOnlyTheStandardDescriptors) {
    int inherited[2];  // as a library's socket made without close-on-exec
    ASSERT_EQ(::pipe(inherited), 0);
    ASSERT_TRUE(runToEnd("ls /proc/$$/fd"));
    ::close(inherited[0]);
    ::close(inherited[1]);
    EXPECT_EQ(runner.outputTail().get(), "0\n1\n2");
}

TEST_F(RealCommandRunnerTest, MissingCommandsReport127WithTheShellsMessage) {
    ASSERT_TRUE(runToEnd("vigilo-no-such-command-here"));
    EXPECT_EQ(runner.exitCode().get(), 127);
    EXPECT_NE(runner.outputTail().get().find("not found"), std::string::npos);
}

TEST_F(RealCommandRunnerTest, EndlessOutputStaysBoundedByTheTailWithStandardErrorMerged) {
    ASSERT_TRUE(runToEnd("head -c 3000000 /dev/zero | tr '\\0' x; echo; seq 1 99999; echo 100000 >&2"));
    const auto& tail = runner.outputTail().get();
    EXPECT_TRUE(tail.starts_with("99801\n")) << tail.substr(0, 20);
    EXPECT_TRUE(tail.ends_with("\n99999\n100000"));
    EXPECT_LT(tail.size(), 2000u);
}

TEST_F(RealCommandRunnerTest, BackgroundGrandchildHoldingThePipeDoesNotDelayTheEnd) {
    ASSERT_TRUE(runToEnd("echo hi; sleep 5 & exit 0"));
    EXPECT_EQ(runner.outputTail().get(), "hi");
}

TEST(RealCommandRunnerStartTest, MissingShellReportsMinusOne) {
    SdEventLoop loop;
    LoginShellChildLauncher launcher("/nonexistent/shell");
    CommandRunner runner(loop, launcher);
    bool finished = false;
    runner.onFinish = [&](std::int32_t, double) { finished = true; };
    testing::LogCapture capture;
    runner.run("echo hi");
    EXPECT_FALSE(runner.isRunning().get());
    EXPECT_EQ(runner.exitCode().get(), -1);
    EXPECT_EQ(runner.outputTail().get(), "Failed to start: No such file or directory");
    EXPECT_TRUE(capture.contains("CommandRunner: error: Failed to start command: No such file or directory"));
    EXPECT_FALSE(finished);
}

}  // namespace
}  // namespace vigilo
