#include "platform/linux/login_shell_launcher.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/temp_dir.h"

namespace vigilo {
namespace {

TEST(LoginShell, ShellsThatCannotRunLoginCommandsAreRefused) {
    testing::TempDir dir;
    for (auto name : {"csh", "tcsh", "nologin", "false", "zsh"}) {
        auto path = dir.write(name, "#!/bin/sh\n");
        ::chmod(path.c_str(), 0755);
    }
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
    LoginShellLauncher shell("/bin/sh");
    EXPECT_EQ(shell.runAndWait("exit 7").exitStatus, 7);
    EXPECT_EQ(shell.runAndWait("false").exitStatus, 1);
    EXPECT_EQ(shell.runAndWait("no_such_command_vigilo_test 2>/dev/null").exitStatus, 127);
    EXPECT_EQ(shell.runAndWait("kill -TERM $$").exitStatus, 128 + 15);

    LoginShellLauncher missing("/nonexistent/shell");
    auto result = missing.runAndWait("true");
    EXPECT_FALSE(result.started);
    EXPECT_EQ(result.startError, "No such file or directory");
}

}  // namespace
}  // namespace vigilo
