#include "support/stale_temporaries.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "common/temp_dir.h"

namespace vigilo {
namespace {

TEST(StaleTemporaries, RemovesOnlyTheWritersTemporariesOfTheNamedFiles) {
    testing::TempDir dir;
    // What a kill during writeFileAtomically() leaves: mkstemp's own names.
    std::string interrupted = (dir / ".preferences.json.XXXXXX").string();
    const int fd = ::mkstemp(interrupted.data());
    ASSERT_GE(fd, 0);
    ::close(fd);
    dir.write(".activity.json.a1B2c3", "{");

    const char* kept[] = {
        "preferences.json",           // the file itself
        ".preferences.json.abc12",    // too short
        ".preferences.json.abc1234",  // too long
        ".preferences.json.abc-12",   // not a temporary's character
        ".notes.json.abc123",         // a file the application does not own
        "preferences.json.abc123",    // no leading dot
    };
    for (const char* name : kept) dir.write(name, "x");
    std::filesystem::create_directory(dir / ".activity.json.Folder");  // not a regular file
    std::filesystem::create_symlink(dir / "preferences.json", dir / ".activity.json.Link01");

    auto removed = removeStaleTemporaries(dir.path(), {"preferences.json", "activity.json"});
    std::sort(removed.begin(), removed.end());
    EXPECT_EQ(removed, (std::vector<std::filesystem::path>{dir / ".activity.json.a1B2c3", interrupted}));
    for (const char* name : kept) EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
    EXPECT_TRUE(std::filesystem::exists(dir / ".activity.json.Folder"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / ".activity.json.Link01"));
    EXPECT_TRUE(removeStaleTemporaries(dir / "missing", {"preferences.json"}).empty());
}

}  // namespace
}  // namespace vigilo
