#include "platform/linux/login_shell_launcher.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/temp_dir.h"

namespace vigilo {
namespace {

std::filesystem::path executable(const testing::TempDir& dir, const std::string& name, const std::string& script) {
    auto path = dir.write(name, script);
    ::chmod(path.c_str(), 0755);
    return path;
}

TEST(LoginShell, ShellsThatCannotRunLoginCommandsAreRefused) {
    testing::TempDir dir;
    for (auto name : {"csh", "tcsh", "nologin", "false", "zsh"}) executable(dir, name, "#!/bin/sh\n");
    EXPECT_FALSE(acceptsLoginCommand(dir / "csh"));
    EXPECT_FALSE(acceptsLoginCommand(dir / "tcsh"));
    EXPECT_FALSE(acceptsLoginCommand(dir / "nologin"));
    EXPECT_FALSE(acceptsLoginCommand(dir / "false"));
    EXPECT_TRUE(acceptsLoginCommand(dir / "zsh"));
    EXPECT_FALSE(acceptsLoginCommand(dir / "missing"));
    EXPECT_FALSE(acceptsLoginCommand("relative/sh"));
    EXPECT_FALSE(acceptsLoginCommand(""));
    EXPECT_TRUE(acceptsLoginCommand(loginShellPath()));
}

TEST(LoginShell, ReportsExitCodesSignalsAndStartFailures) {
    for (const char* path : {"/bin/sh", "/bin/bash"}) {
        SCOPED_TRACE(path);
        LoginShellLauncher shell(path);
        EXPECT_EQ(shell.runText("exit 7").exitStatus, 7);
        EXPECT_EQ(shell.runText("false").exitStatus, 1);
        EXPECT_EQ(shell.runText("no_such_command_vigilo_test 2>/dev/null").exitStatus, 127);
        EXPECT_EQ(shell.runText("kill -TERM $$").exitStatus, 128 + 15);
        // The program replaces the shell: its status, not the shell's.
        EXPECT_EQ(shell.runArguments({"sh", "-c", "exit 7"}).exitStatus, 7);
        EXPECT_EQ(shell.runArguments({"sh", "-c", "kill -TERM $$"}).exitStatus, 128 + 15);
    }
    LoginShellLauncher missing("/nonexistent/shell");
    auto result = missing.runText("true");
    EXPECT_FALSE(result.started);
    EXPECT_EQ(result.startError, "No such file or directory");
}

// Every word arrives as typed, through a POSIX shell's "$@" or, for a shell
// with a language of its own, through /bin/sh.
TEST(LoginShell, ArgumentsArriveExactlyAsGiven) {
    testing::TempDir dir;
    const auto out = dir / "arguments";
    const auto record = executable(dir, "record", "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + out.string() + "'\n");
    const auto fish = executable(dir, "fish", "#!/bin/sh\nexit 99\n");  // would fail any script it ran
    const std::vector<std::string> words{"a  b", "", "$HOME", "*", "'q'", "\"d\"", "x\ny", "-c", "\\"};
    std::string expected;
    for (const auto& word : words) expected += word + '\0';

    for (const std::string& shell : std::vector<std::string>{"/bin/sh", "/bin/bash", fish.string()}) {
        SCOPED_TRACE(shell);
        std::filesystem::remove(out);
        std::vector<std::string> arguments{record.string()};
        arguments.insert(arguments.end(), words.begin(), words.end());
        EXPECT_EQ(LoginShellLauncher(shell).runArguments(arguments).exitStatus, 0);
        EXPECT_EQ(testing::readFile(out), expected);
    }
    EXPECT_TRUE(passesPositionalArguments("/usr/bin/zsh"));
    EXPECT_FALSE(passesPositionalArguments(fish));
}

}  // namespace
}  // namespace vigilo
