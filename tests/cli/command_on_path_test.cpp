#include "cli/command_on_path.h"

#include <gtest/gtest.h>

#include <set>

#include "common/temp_dir.h"

namespace vigilo::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kOurs = "/home/ann/.local/bin/vigilo";

struct PathCase {
    const char* name;
    const char* pathVariable;
    std::set<std::string> programs;  // the `vigilo` files that exist
    std::optional<fs::path> other;
    bool ours;
};

TEST(VigiloOnPath, TellsOursFromAnotherAndOffersTheUserInstallOnlyWithoutAnother) {
    const PathCase cases[] = {
        {"no vigilo anywhere", "/usr/local/bin:/usr/bin:/bin", {}, std::nullopt, false},
        {"an empty PATH", "", {"/usr/bin/vigilo"}, std::nullopt, false},
        {"the package's", "/usr/local/bin:/usr/bin", {"/usr/bin/vigilo"}, fs::path("/usr/bin/vigilo"), false},
        {"only ours, to repair", "/home/ann/.local/bin:/usr/bin", {kOurs}, std::nullopt, true},
        {"ours first, the package's after", "/home/ann/.local/bin:/usr/bin", {kOurs, "/usr/bin/vigilo"},
         fs::path("/usr/bin/vigilo"), true},
        {"the first other one named", "/usr/local/bin:/usr/bin", {"/usr/bin/vigilo", "/usr/local/bin/vigilo"},
         fs::path("/usr/local/bin/vigilo"), false},
        {"ours written with a trailing slash and a dot", "/home/ann/.local/./bin/:/bin", {kOurs}, std::nullopt, true},
        {"ours present but not on the PATH", "/usr/bin", {kOurs}, std::nullopt, false},
        {"relative and empty entries skipped", ":.:bin::/opt/x", {"vigilo", "./vigilo", "bin/vigilo"}, std::nullopt,
         false},
        {"a trailing colon", "/opt/v:", {"/opt/v/vigilo"}, fs::path("/opt/v/vigilo"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> asked;
        const auto found = findVigiloOnPath(c.pathVariable, kOurs, [&](const fs::path& candidate) {
            asked.push_back(candidate.string());
            return c.programs.contains(candidate.string());
        });
        EXPECT_EQ(found.other, c.other);
        EXPECT_EQ(found.ours, c.ours);
        EXPECT_EQ(found.offersUserInstall(), !c.other.has_value());
        for (const auto& path : asked) EXPECT_TRUE(fs::path(path).is_absolute()) << path;
    }
}

TEST(VigiloOnPath, ExecutableFileIsARunnableFileOrALinkToOne) {
    TempDir dir;
    const auto runnable = dir.write("runnable", "#!/bin/sh\n");
    fs::permissions(runnable, fs::perms::owner_all);
    const auto plain = dir.write("plain", "text");
    fs::permissions(plain, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(runnable, dir / "link");
    fs::create_symlink(dir / "gone", dir / "dangling");
    fs::create_directory(dir / "folder");

    const std::pair<const char*, bool> cases[] = {
        {"runnable", true}, {"link", true},    {"plain", false},
        {"dangling", false}, {"folder", false}, {"missing", false},
    };
    for (const auto& [name, executable] : cases) EXPECT_EQ(isExecutableFile(dir / name), executable) << name;
}

}  // namespace
}  // namespace vigilo::testing
