#include "platform/linux/privileged/helper_runner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "common/temp_dir.h"
#include "platform/linux/privileged/helper_process.h"
#include "platform/linux/scoped_env.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;
using Status = PrivilegedRunner::Result::Status;

TEST(RunToCompletion, ReportsTheExitKeepsStandardErrorAndBoundsTheWait) {
    // A descriptor of ours without close-on-exec, as an inhibitor lock could be.
    const int leaky = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaky, 3);
    const std::string leakCheck = "test -e /proc/self/fd/" + std::to_string(leaky) + " && echo leaked >&2; exit 3";
    const auto exited = runToCompletion({"/bin/sh", "-c", "echo first >&2; echo second >&2; " + leakCheck}, 5s);
    ::close(leaky);
    EXPECT_TRUE(exited.started);
    EXPECT_FALSE(exited.timedOut);
    EXPECT_EQ(exited.exitStatus, 3);
    EXPECT_EQ(exited.errorOutput, "first\nsecond\n");

    const auto start = std::chrono::steady_clock::now();
    const auto hung = runToCompletion({"/bin/sh", "-c", "exec sleep 30"}, 200ms);
    EXPECT_TRUE(hung.timedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

    const auto missing = runToCompletion({"/nonexistent/vigilo-helper"}, 5s);
    EXPECT_FALSE(missing.started);
    EXPECT_FALSE(missing.errorOutput.empty());
}

TEST(HelperRunner, MapsTheHelpersStatusAndAsksPolkitOnlyForStepsWithoutAPerson) {
    testing::TempDir dir;
    const auto helper = dir.write("helper", "#!/bin/sh\necho \"helper: $2\" >&2\nexit $1\n");
    ::chmod(helper.c_str(), 0755);
    testing::ScopedEnv noBus("DBUS_SYSTEM_BUS_ADDRESS", testing::kNoSystemBus);
    HelperRunner runner(helper, HelperRunner::Elevation::testBuild);
    struct Case {
        const char* exitStatus;
        Status expected;
    };
    for (const Case& c : {Case{"0", Status::done}, Case{"1", Status::failed}, Case{"2", Status::refused}}) {
        const auto result = runner.run(kFanControlAction, {c.exitStatus, "said"}, Consent::mayAsk);
        EXPECT_EQ(result.status, c.expected) << c.exitStatus;
        EXPECT_EQ(result.message, "helper: said");
    }
    const auto quiet = runner.run(kFanControlAction, {"0", "said"}, Consent::withoutAsking);
    EXPECT_EQ(quiet.status, Status::notAllowed) << "polkit cannot be asked: nothing runs";
    EXPECT_TRUE(quiet.message.starts_with("polkit could not be asked: ")) << quiet.message;

    HelperRunner asRoot(helper, HelperRunner::Elevation::alreadyRoot);
    EXPECT_EQ(asRoot.run(kFanControlAction, {"0", "said"}, Consent::withoutAsking).status, Status::done)
        << "root has nobody to ask";
}

}  // namespace
}  // namespace vigilo
