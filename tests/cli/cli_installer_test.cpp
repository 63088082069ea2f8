#include "cli/cli_installer.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>

#include "cli/cli_wrapper.h"
#include "common/log_capture.h"
#include "common/temp_dir.h"
#include "platform/system_command_install.h"

namespace vigilo::testing {
namespace {

namespace fs = std::filesystem;
using Result = CLIInstaller::Result;

// The administrator's side, answered as the test says; "installing" writes
// the system file like the helper does.
struct FakeSystemInstall final : SystemCommandInstall {
    explicit FakeSystemInstall(fs::path file) : target(std::move(file)) {}
    fs::path target;
    std::optional<std::string> refusal;
    std::vector<std::string> calls;
    std::optional<std::string> install(const std::string& executable) override {
        calls.push_back("install " + executable);
        if (!refusal) std::ofstream(target) << "script";
        return refusal;
    }
    std::optional<std::string> remove() override {
        calls.push_back("remove");
        if (!refusal) fs::remove(target);
        return refusal;
    }
    fs::path commandPath() const override { return target; }
};

class CLIInstallerTest : public ::testing::Test {
protected:
    mode_t modeOf(const fs::path& path) {
        struct stat info {};
        EXPECT_EQ(::lstat(path.c_str(), &info), 0);
        return info.st_mode & 07777;
    }

    TempDir home;
    FakeSystemInstall system{home / "usr-local-bin-vigilo"};
    CLIInstaller installer{home.path(), "/opt/it's/vigilo-app", system};
    const fs::path user = home / ".local/bin/vigilo";
};

TEST_F(CLIInstallerTest, UserInstallWritesTheWrapperReplacingALinkNotItsTarget) {
    const auto elsewhere = home.write("elsewhere", "keep me");
    fs::create_directories(user.parent_path());
    fs::create_symlink(elsewhere, user);

    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(installer.installForUser(), (Result{true, "Installed to " + user.string()}));
        EXPECT_EQ(readFile(user), cliWrapperScript("/opt/it's/vigilo-app"));
        EXPECT_EQ(modeOf(user), 0755);
    }
    EXPECT_EQ(readFile(elsewhere), "keep me");
}

TEST_F(CLIInstallerTest, AFolderInTheWayIsRefusedAndLogged) {
    fs::create_directories(user / "inside");
    LogCapture log;
    const auto result = installer.installForUser();
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.message.empty());
    EXPECT_TRUE(log.contains("CLIInstaller: error: user install failed: " + result.message));
    EXPECT_TRUE(fs::exists(user / "inside"));
}

TEST_F(CLIInstallerTest, SystemInstallAsksTheAdministratorsSide) {
    EXPECT_EQ(installer.installForSystem(), (Result{true, "Installed to " + system.target.string()}));
    system.refusal = "The administrator's password was not given.";
    EXPECT_EQ(installer.installForSystem(), (Result{false, *system.refusal}));
    EXPECT_EQ(system.calls, (std::vector<std::string>{"install /opt/it's/vigilo-app", "install /opt/it's/vigilo-app"}));
}

// The administrator is asked only when the system-wide file is there, and
// their side's refusal reaches the person after what did go.
TEST_F(CLIInstallerTest, UninstallRemovesWhatIsThereAndTellsARefusal) {
    const std::string refused = system.target.string() + " was not installed by Vigilo; left as it is.";
    const std::string removedUser = "Removed: " + user.string();
    struct Case {
        const char* name;
        bool userThere;
        bool systemThere;
        std::optional<std::string> refusal;
        Result expected;
        bool asksAdministrator;
    };
    const Case cases[] = {
        {"nothing", false, false, std::nullopt, {false, "Nothing was installed."}, false},
        {"the user's alone", true, false, refused, {true, removedUser}, false},
        {"both", true, true, std::nullopt, {true, removedUser + ", " + system.target.string()}, true},
        {"the system's alone", false, true, std::nullopt, {true, "Removed: " + system.target.string()}, true},
        {"the system's refused", false, true, refused, {false, refused}, true},
        {"both, the system's refused", true, true, refused, {false, removedUser + "\n" + refused}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(user);
        fs::remove(system.target);
        if (c.userThere) {
            ASSERT_TRUE(installer.installForUser().ok);
        }
        if (c.systemThere) std::ofstream(system.target) << "script";
        system.calls.clear();
        system.refusal = c.refusal;

        EXPECT_EQ(installer.uninstall(), c.expected);
        EXPECT_FALSE(fs::exists(user));
        EXPECT_EQ(fs::exists(system.target), c.systemThere && c.refusal.has_value());
        EXPECT_EQ(system.calls, c.asksAdministrator ? std::vector<std::string>{"remove"} : std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace vigilo::testing
