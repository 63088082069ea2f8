// The /proc cases run anywhere with the system bus pointed at nothing. The
// OnMockBus cases talk to python-dbusmock's upower and logind templates on a
// private system bus; tests/integration/test_lid_state.py sets that up and
// runs them with VIGILO_LID_MOCK naming the scenario. Without it they skip.
#include "platform/linux/safety/linux_lid_state.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "common/temp_dir.h"
#include "platform/linux/scoped_env.h"

namespace vigilo {
namespace {

using testing::TempDir;

TEST(LinuxLidStateWithoutBus, ReadsTheAcpiButton) {
    struct Case {
        const char* name;
        const char* folder;  // under acpi/button/lid; nullptr for no lid at all
        const char* state;   // the state file's contents; nullptr for none
        std::optional<bool> expected;
    };
    const Case cases[] = {
        {"no lid folder", nullptr, nullptr, std::nullopt},
        {"open", "LID0", "state:      open\n", false},
        {"closed", "LID", "state:      closed\n", true},
        // A lid whose state cannot be understood is unknown, not open.
        {"garbage", "LID0", "state:      ajar\n", std::nullopt},
        {"no label", "LID0", "closed\n", std::nullopt},
        {"lid without state file", "LID0", nullptr, std::nullopt},
    };
    testing::ScopedEnv noBus("DBUS_SYSTEM_BUS_ADDRESS", testing::kNoSystemBus);
    for (const auto& c : cases) {
        TempDir proc;
        if (c.folder) std::filesystem::create_directories(proc.path() / "acpi/button/lid" / c.folder);
        if (c.state) proc.write(std::string("acpi/button/lid/") + c.folder + "/state", c.state);
        EXPECT_EQ(LinuxLidState(proc.path()).isClosed(), c.expected) << c.name;
    }
}

bool scenario(const char* name) {
    const char* wanted = std::getenv("VIGILO_LID_MOCK");
    return wanted && std::string(wanted) == name;
}

#define REQUIRE_SCENARIO(name) \
    if (!scenario(name)) GTEST_SKIP() << "needs the mock UPower and logind (tests/integration/test_lid_state.py)"

TEST(LidStateOnMockBus, NoLidIsAbsentThoughLogindSaysOpen) {
    REQUIRE_SCENARIO("no-lid");
    // The kernel's word is not asked for when UPower has answered.
    TempDir proc;
    proc.write("acpi/button/lid/LID0/state", "state:      closed\n");
    EXPECT_EQ(LinuxLidState(proc.path()).isClosed(), std::nullopt);
}

TEST(LidStateOnMockBus, ClosedLidComesFromLogind) {
    REQUIRE_SCENARIO("closed");
    TempDir proc;
    EXPECT_EQ(LinuxLidState(proc.path()).isClosed(), true);
}

}  // namespace
}  // namespace vigilo
