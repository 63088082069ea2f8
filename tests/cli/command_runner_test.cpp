#include "cli/command_runner.h"
#include "support/utf8_text.h"

#include <gtest/gtest.h>

#include <chrono>

#include "cli/scripted_child.h"
#include "common/log_capture.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;

using testing::ScriptedLauncher;

class CommandRunnerTest : public ::testing::Test {
protected:
    CommandRunnerTest() {
        runner.onFinish = [this](std::int32_t code, double seconds) { finishes.emplace_back(code, seconds); };
    }
    void write(std::string_view bytes) {
        launcher.last->write(bytes);
        loop.runUntilIdle();
    }
    void exitWith(int status) {
        launcher.last->finish(status);
        loop.runUntilIdle();
    }
    const std::string& tail() { return runner.outputTail().get(); }

    FakeLoop loop;
    ScriptedLauncher launcher;
    CommandRunner runner{loop, launcher};
    std::vector<std::pair<std::int32_t, double>> finishes;
};

TEST_F(CommandRunnerTest, ChunksJoinIntoLinesByTheNewlineRules) {
    runner.run("make");
    write("a");
    write("b\n");
    EXPECT_EQ(tail(), "ab");
    write("c\n");
    EXPECT_EQ(tail(), "ab\nc");
    write("\n\nd\n");
    EXPECT_EQ(tail(), "ab\nc\n\n\nd");
    exitWith(0);
    runner.run("again");  // a new run starts a new tail
    write("e\n");
    EXPECT_EQ(tail(), "e");
}

TEST_F(CommandRunnerTest, KeepsOnlyTheNewest200Lines) {
    runner.run("seq 250");
    std::string all;
    for (int i = 1; i <= 250; ++i) all += std::to_string(i) + "\n";
    write(all);
    EXPECT_TRUE(tail().starts_with("51\n52\n"));
    EXPECT_TRUE(tail().ends_with("\n250"));
}

TEST_F(CommandRunnerTest, AnEndlessLineKeepsOnlyItsNewestBytes) {
    runner.run("yes");
    const std::string block(60000, 'x');
    for (int i = 0; i < 10; ++i) write(block);
    write("END");
    EXPECT_EQ(tail().size(), CommandRunner::maxLineBytes);
    EXPECT_TRUE(tail().ends_with("xEND"));
}

TEST_F(CommandRunnerTest, CharacterSplitAcrossReadsSurvivesAndInvalidChunksAreDropped) {
    runner.run("printf");
    write("caf\xC3");
    write("\xA9\n");
    EXPECT_EQ(tail(), "caf\xC3\xA9");
    write("\xF0\x9F");
    write("\x8E\x89 ok\n");
    EXPECT_EQ(tail(), "caf\xC3\xA9\n\xF0\x9F\x8E\x89 ok");
    write("bad \xFF byte\n");
    EXPECT_EQ(tail(), "caf\xC3\xA9\n\xF0\x9F\x8E\x89 ok");
    write("fine\n");
    EXPECT_EQ(tail(), "caf\xC3\xA9\n\xF0\x9F\x8E\x89 ok\nfine");
}

TEST_F(CommandRunnerTest, BlankCommandsAreIgnoredAndCommandsAreTrimmed) {
    runner.run("  \t\n ");
    EXPECT_EQ(launcher.starts, 0);
    EXPECT_FALSE(runner.startedAt().get());
    runner.run("  python train.py \n");
    EXPECT_EQ(launcher.commandText, "python train.py");
    EXPECT_EQ(runner.command().get(), "python train.py");
    EXPECT_TRUE(runner.isRunning().get());
    ASSERT_NE(runner.process(), nullptr);
}

TEST_F(CommandRunnerTest, ASecondRunWhileRunningLeavesTheFirstUntouched) {
    runner.run("first");
    write("out\n");
    runner.run("second");
    EXPECT_EQ(launcher.starts, 1);
    EXPECT_EQ(runner.command().get(), "first");
    EXPECT_EQ(tail(), "out");
}

TEST_F(CommandRunnerTest, ExitReportsCodeAndDurationOnce) {
    testing::LogCapture capture;
    runner.run("exit 3");
    loop.advanceWallClock(2500ms);
    write("last words\n");
    exitWith(3);
    EXPECT_FALSE(runner.isRunning().get());
    EXPECT_EQ(runner.exitCode().get(), 3);
    ASSERT_EQ(finishes.size(), 1u);
    EXPECT_EQ(finishes[0].first, 3);
    EXPECT_DOUBLE_EQ(finishes[0].second, 2.5);
    EXPECT_EQ(runner.process(), nullptr);
    EXPECT_EQ(tail(), "last words");
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"CommandRunner: Started command: exit 3",
                                                         "CommandRunner: Command finished, exit=3"}));
}

TEST_F(CommandRunnerTest, OutputWrittenBeforeTheExitIsInTheTail) {
    runner.run("echo");
    launcher.last->write("bye\n");  // not yet read when the exit comes
    exitWith(0);
    EXPECT_EQ(tail(), "bye");
}

TEST_F(CommandRunnerTest, FailureToStartReportsMinusOneWithoutCallingOnFinish) {
    testing::LogCapture capture;
    launcher.failure = "No such file or directory";
    runner.run("anything");
    EXPECT_FALSE(runner.isRunning().get());
    EXPECT_EQ(runner.exitCode().get(), -1);
    EXPECT_TRUE(runner.finishedAt().get());
    EXPECT_EQ(tail(), "Failed to start: No such file or directory");
    EXPECT_TRUE(finishes.empty());
    EXPECT_TRUE(capture.contains("CommandRunner: error: Failed to start command: No such file or directory"));
}

TEST(Utf8Test, IncompleteSuffixAndValidity) {
    EXPECT_EQ(incompleteUtf8Suffix("abc"), 0u);
    EXPECT_EQ(incompleteUtf8Suffix("ab\xC3"), 1u);
    EXPECT_EQ(incompleteUtf8Suffix("\xE2\x82"), 2u);
    EXPECT_EQ(incompleteUtf8Suffix("\xE2\x82\xAC"), 0u);
    EXPECT_EQ(incompleteUtf8Suffix("\xF0\x9F\x8E"), 3u);
    EXPECT_EQ(incompleteUtf8Suffix("\xFF"), 0u);
    EXPECT_TRUE(isValidUtf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\x89"));
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));      // overlong
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));
    EXPECT_FALSE(isValidUtf8("\x80"));
}

}  // namespace
}  // namespace vigilo
