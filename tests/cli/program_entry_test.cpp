#include "cli/program_entry.h"

#include <gtest/gtest.h>

namespace vigilo {
namespace {

using Args = std::vector<std::string>;

TEST(ProgramEntry, NameOrCliFlagChoosesTheCommandLine) {
    auto byName = chooseRole({"/usr/local/bin/vigilo", "status"});
    EXPECT_EQ(byName.role, Role::commandLine);
    EXPECT_EQ(byName.arguments, Args{"status"});

    auto byFlag = chooseRole({"/opt/Vigilo/vigilo-app", "--cli", "status"});
    EXPECT_EQ(byFlag.role, Role::commandLine);
    EXPECT_EQ(byFlag.arguments, Args{"status"});

    auto both = chooseRole({"vigilo", "--cli", "--cli"});
    EXPECT_EQ(both.role, Role::commandLine);
    EXPECT_EQ(both.arguments, Args{"--cli"});  // only one is dropped

    EXPECT_EQ(chooseRole({"vigilo-app", "--cli"}).arguments, Args{});
}

TEST(ProgramEntry, AnythingElseIsTheApplication) {
    EXPECT_EQ(chooseRole({"vigilo-app"}).role, Role::application);
    EXPECT_EQ(chooseRole({"/bin/Vigilo"}).role, Role::application);
    EXPECT_EQ(chooseRole({"vigilo.sh"}).role, Role::application);
    EXPECT_EQ(chooseRole({"vigilo-app", "--headless", "--cli"}).role, Role::application);
    EXPECT_EQ(chooseRole({}).role, Role::application);
}

TEST(ProgramEntry, ApplicationHelpAndVersionAreAnsweredWithoutStarting) {
    EXPECT_EQ(applicationInfoText({"--headless", "--version"}), "vigilo-app 1.0.0\n");
    EXPECT_EQ(applicationInfoText({"-v"}), "vigilo-app 1.0.0\n");
    EXPECT_TRUE(applicationInfoText({"-h"})->starts_with("Usage: vigilo-app [--headless]\n"));
    EXPECT_EQ(applicationInfoText({"--headless"}), std::nullopt);
}

TEST(ProgramEntry, UnknownOptionsAndMisusedInstallAreUsageErrors) {
    const std::pair<Args, const char*> cases[] = {
        {{}, nullptr},
        {{"--headless"}, nullptr},
        {{"--install-cli", "system"}, nullptr},
        {{"--bogus"}, "vigilo-app: unknown option '--bogus'\n"},
        {{"status"}, "vigilo-app: unexpected 'status'\n"},
        {{"--install-cli"}, "vigilo-app: --install-cli takes user, system or uninstall\n"},
        {{"--install-cli", "everywhere"}, "vigilo-app: --install-cli takes user, system or uninstall\n"},
    };
    for (const auto& [args, firstLine] : cases) {
        const auto error = applicationUsageError(args);
        EXPECT_EQ(error.has_value(), firstLine != nullptr) << (args.empty() ? "" : args[0]);
        if (error && firstLine) {
            EXPECT_TRUE(error->starts_with(firstLine)) << *error;
        }
    }
    EXPECT_EQ(cliInstallTarget({"--headless", "--install-cli", "uninstall"}), CliInstallTarget::uninstall);
    EXPECT_EQ(cliInstallTarget({"--headless"}), std::nullopt);
}

TEST(ProgramEntry, HeadlessWhenAskedOrWithoutADisplay) {
    EXPECT_TRUE(wantsHeadless({"--headless"}, true));
    EXPECT_TRUE(wantsHeadless({}, false));
    EXPECT_FALSE(wantsHeadless({}, true));
}

}  // namespace
}  // namespace vigilo
