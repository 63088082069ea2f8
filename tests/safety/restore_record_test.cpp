#include "safety/restore_record.h"

#include <gtest/gtest.h>

#include <string>

#include "common/log_capture.h"
#include "common/temp_dir.h"

namespace vigilo {
namespace {

using testing::readFile;

TEST(RestoreRecordTest, EntriesOutliveTheProcessUntilErasedAndTheFileGoesWithTheLast) {
    vigilo::testing::TempDir dir;
    const auto file = dir / "Vigilo" / kRestoreRecordFileName;
    {
        RestoreRecord record(dir / "Vigilo");
        ASSERT_TRUE(record.put("fan /sys/devices/x/hwmon/hwmon2 1", {{"pwmEnable", 5}}));
        ASSERT_TRUE(record.put("kde", {{"LidAction", 1}}));
        record.erase("no such entry");
    }
    RestoreRecord nextLaunch(dir / "Vigilo");
    EXPECT_EQ(nextLaunch.entries().size(), 2u);
    EXPECT_EQ(nextLaunch.get("kde"), (nlohmann::json{{"LidAction", 1}}));
    nextLaunch.erase("kde");
    EXPECT_EQ(nlohmann::json::parse(readFile(file).value()).size(), 1u);
    nextLaunch.erase("fan /sys/devices/x/hwmon/hwmon2 1");
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(RestoreRecordTest, AnUnusableFileIsSetAsideAndNeverStopsTheStart) {
    for (const std::string contents : {"{\"fan\": ", "[1, 2]", "null"}) {
        SCOPED_TRACE(contents);
        vigilo::testing::TempDir dir;
        vigilo::testing::LogCapture logs;
        const auto file = dir.write(kRestoreRecordFileName, contents);
        RestoreRecord record(dir.path());
        EXPECT_TRUE(record.entries().empty());
        EXPECT_EQ(readFile(dir / "restore.json.bad"), contents);
        EXPECT_FALSE(std::filesystem::exists(file));
        ASSERT_EQ(logs.lines().size(), 1u);
        EXPECT_TRUE(logs.lines()[0].starts_with("CrashGuard: error: Unreadable ")) << logs.lines()[0];
        EXPECT_TRUE(record.put("fan a 1", {{"pwmEnable", 2}}));
        EXPECT_EQ(readFile(dir / "restore.json.bad"), contents) << "the user's copy survives the next write";
    }
}

}  // namespace
}  // namespace vigilo
