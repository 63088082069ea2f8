// The bus cases run when tests/integration/test_kde_lid_action.py starts its
// private buses: logind holding KDE's, GNOME's and another program's lid
// locks ("kde-lid"), or GNOME's alone ("gnome-lid"), with a mock of KDE's
// power manager on the session bus that counts the reload calls.
#include "platform/linux/desktop/kde_lid_action.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "common/log_capture.h"
#include "common/mockbus_scenario.h"
#include "common/temp_dir.h"
#include "platform/linux/power/logind_clamshell.h"
#include "safety/restore_record.h"

namespace vigilo {
namespace {

using nlohmann::json;

const std::string kPlasma6 = "[AC][SuspendAndShutdown]\nLidAction=1\n";

int linesStartingWith(const testing::LogCapture& log, const std::string& prefix) {
    int count = 0;
    for (const auto& line : log.lines()) count += line.starts_with(prefix) ? 1 : 0;
    return count;
}

TEST(KdeLidActionOnMockBus, KdeLockSetsAndRestoresTheLidActionWithReloads) {
    if (!testing::inMockBusScenario("kde-lid")) GTEST_SKIP() << "needs the kde-lid scenario of test_kde_lid_action.py";
    testing::TempDir config;
    const auto file = config.write("powerdevilrc", kPlasma6);
    testing::LogCapture log;
    KdeLidAction kde(config.path());
    EXPECT_TRUE(kde.kdeHandlesLid());

    json saved;
    const auto record = kde.setDoNothing([&](const json& previous) {
        saved = previous;
        return true;
    });
    ASSERT_TRUE(record);
    EXPECT_EQ(*record, saved);
    EXPECT_EQ(testing::readFile(file),
              "[AC][SuspendAndShutdown]\nLidAction=0\n\n[Battery][SuspendAndShutdown]\nLidAction=0\n\n"
              "[LowBattery][SuspendAndShutdown]\nLidAction=0\n");
    EXPECT_TRUE(kde.restore(*record));
    EXPECT_EQ(testing::readFile(file), kPlasma6);

    // A link to a missing file is left a link, and nothing is reloaded.
    std::filesystem::remove(file);
    std::filesystem::create_symlink("dotfiles/powerdevilrc", file);
    EXPECT_FALSE(kde.setDoNothing([](const json&) { return true; }));
    EXPECT_TRUE(log.contains("Clamshell: error: Closed-lid mode is not available on KDE: " + file.string() +
                             " is a link to a missing file; KDE lid settings left alone"));
    EXPECT_EQ(std::filesystem::read_symlink(file), "dotfiles/powerdevilrc");

    EXPECT_TRUE(log.contains("Clamshell: KDE lid action set to do nothing"));
    EXPECT_TRUE(log.contains("Clamshell: KDE lid action restored"));
    EXPECT_EQ(linesStartingWith(log, "Clamshell: Lid switch also handled by xfce4-power-manager "), 1)
        << "another holder is logged once, however often the locks are listed";
    EXPECT_EQ(linesStartingWith(log, "Clamshell: Lid switch also handled by "), 1) << "GNOME's and KDE's are known";
    EXPECT_EQ(linesStartingWith(log, "Clamshell: error: "), 1);
}

// A give-back that fails for one file leaves it on "do nothing" with the
// user's values in the record; switching on again changes only the other
// file, and must not record that over them.
TEST(KdeLidActionOnMockBus, APendingGiveBackIsNeverRecordedOver) {
    if (!testing::inMockBusScenario("kde-lid")) GTEST_SKIP() << "needs the kde-lid scenario of test_kde_lid_action.py";
    namespace fs = std::filesystem;
    testing::TempDir config;
    testing::TempDir state;
    const auto file = config.write("powerdevilrc", kPlasma6);
    const std::string plasma5 = "[AC][HandleButtonEvents]\nlidAction=1\n";
    const auto otherFile = config.write("powermanagementprofilesrc", plasma5);
    KdeLidAction kde(config.path());
    RestoreRecord record(state.path());
    LogindClamshell clamshell(state.path() / "run", nullptr, &kde, &record);
    const auto switchTo = [&](bool on) {
        std::optional<bool> answer;
        clamshell.setDisableSleep(on, Consent::withoutAsking, [&](bool ok) { answer = ok; });
        return answer;
    };
    const auto readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;

    ASSERT_EQ(switchTo(true), true);
    fs::permissions(file, readOnly);
    switchTo(false);
    ASSERT_TRUE(record.get(LogindClamshell::kKdeLidRecordKey)) << "a file it cannot write keeps its record";
    fs::permissions(file, readOnly | fs::perms::owner_write);
    ASSERT_EQ(switchTo(true), true);
    switchTo(false);
    EXPECT_EQ(testing::readFile(file), kPlasma6);
    EXPECT_EQ(testing::readFile(otherFile), plasma5);
    EXPECT_FALSE(record.get(LogindClamshell::kKdeLidRecordKey));
}

TEST(KdeLidActionOnMockBus, GnomeLockAloneChangesNothing) {
    if (!testing::inMockBusScenario("gnome-lid"))
        GTEST_SKIP() << "needs the gnome-lid scenario of test_kde_lid_action.py";
    testing::TempDir config;
    const auto file = config.write("powerdevilrc", kPlasma6);
    testing::LogCapture log;
    KdeLidAction gnome(config.path());
    EXPECT_FALSE(gnome.kdeHandlesLid());
    EXPECT_FALSE(gnome.setDoNothing([](const json&) { return true; }));
    EXPECT_EQ(testing::readFile(file), kPlasma6);
    EXPECT_EQ(linesStartingWith(log, "Clamshell: Lid switch also handled by "), 0);

    // A restore at launch needs no lock; without KDE on the bus the files are still put back.
    config.write("powerdevilrc", "[AC][SuspendAndShutdown]\nLidAction=0\n");
    KdeLidAction noSession(config.path(), [](dbus::BusKind kind, dbus::BusError& error) -> dbus::BusPtr {
        if (kind == dbus::BusKind::system) return dbus::openBus(kind, error);
        error.set(ENOENT, "no session bus");
        return nullptr;
    });
    const json record = {{"edits",
                          {{{"file", "powerdevilrc"}, {"group", "[AC][SuspendAndShutdown]"}, {"key", "LidAction"},
                            {"previous", "1"}}}}};
    EXPECT_TRUE(noSession.restore(record));
    EXPECT_EQ(testing::readFile(file), kPlasma6);
    EXPECT_TRUE(log.contains("Clamshell: error: KDE power manager did not reload its settings: no session bus"));
}

}  // namespace
}  // namespace vigilo
