#include "support/bounded_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/temp_dir.h"

namespace vigilo {
namespace {

using Status = BoundedFile::Status;

TEST(BoundedFile, ReadsOnlyRegularFilesWithinTheLimitAndNeverBlocks) {
    testing::TempDir dir;
    dir.write("small", "12345");
    dir.write("big", "123456");
    std::filesystem::create_symlink(dir / "small", dir / "link");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);  // would block a plain open
    std::filesystem::create_directory(dir / "folder");

    const struct {
        const char* name;
        Status status;
        std::string contents, problem;
    } cases[] = {
        {"small", Status::ok, "12345", ""},
        {"link", Status::ok, "12345", ""},
        {"missing", Status::missing, "", ""},
        {"big", Status::rejected, "", "6 bytes is too big"},
        {"fifo", Status::rejected, "", "not a regular file"},
        {"folder", Status::rejected, "", "not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = readBoundedFile(dir / c.name, 5);
        EXPECT_EQ(file.status, c.status);
        EXPECT_EQ(file.contents, c.contents);
        EXPECT_EQ(file.problem, c.problem);
    }
    EXPECT_EQ(readBoundedFile("/dev/zero", 5).problem, "not a regular file");
}

}  // namespace
}  // namespace vigilo
