#include "support/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "common/temp_dir.h"
#include "support/serial_writer.h"

namespace vigilo {
namespace {

TEST(AtomicFile, ReplacesTheWholeFileWithTheGivenMode) {
    testing::TempDir dir;
    auto path = dir / "sub/folder/state.json";
    EXPECT_EQ(writeFileAtomically(path, "first", 0600), std::nullopt);
    EXPECT_EQ(writeFileAtomically(path, "second"), std::nullopt);
    EXPECT_EQ(testing::readFile(path), "second");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    // No temporary files are left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path.parent_path()), {}), 1);
}

TEST(AtomicFile, FailureLeavesTheOldFileAlone) {
    testing::TempDir dir;
    auto path = dir / "state.json";
    ASSERT_EQ(writeFileAtomically(path, "kept"), std::nullopt);
    std::filesystem::create_directory(dir / "blocker");
    // A folder in the way of the target cannot be replaced by a file.
    auto error = writeFileAtomically(dir / "blocker", "x");
    EXPECT_TRUE(error.has_value());
    EXPECT_EQ(testing::readFile(path), "kept");
}

TEST(SerialWriter, ManyQuickWritesLeaveTheNewestOnDisk) {
    testing::TempDir dir;
    auto path = dir / "log.json";
    SerialWriter writer;
    std::thread other([&] {
        for (int i = 0; i < 200; ++i) writer.write(dir / "other.json", std::to_string(i));
    });
    for (int i = 0; i < 500; ++i) writer.write(path, std::to_string(i));
    other.join();
    writer.flush();
    EXPECT_EQ(testing::readFile(path), "499");
    EXPECT_EQ(testing::readFile(dir / "other.json"), "199");
}

TEST(SerialWriter, ReportsErrorsAndWritesWhatIsQueuedWhenDestroyed) {
    testing::TempDir dir;
    std::filesystem::create_directory(dir / "blocker");
    std::optional<std::string> reported;
    {
        SerialWriter writer;
        writer.write(dir / "blocker", "x", 0644, [&](const std::optional<std::string>& error) { reported = error; });
        writer.write(dir / "last.json", "queued");
    }
    EXPECT_TRUE(reported.has_value());
    EXPECT_EQ(testing::readFile(dir / "last.json"), "queued");
}

}  // namespace
}  // namespace vigilo
