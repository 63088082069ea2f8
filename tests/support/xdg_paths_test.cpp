#include "support/xdg_paths.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "common/temp_dir.h"

namespace vigilo {
namespace {

using ::testing::HasSubstr;

class XdgPathsTest : public ::testing::Test {
protected:
    XdgEnvironment env() {
        XdgEnvironment e;
        e.getenv = [this](const char* name) -> std::optional<std::string> {
            auto it = vars.find(name);
            if (it == vars.end()) return std::nullopt;
            return it->second;
        };
        e.uid = ::getuid();
        e.home = "/home/ada";
        return e;
    }
    std::filesystem::path privateFolder(const std::string& name, mode_t mode = 0700) {
        auto path = dir / name;
        std::filesystem::create_directories(path);
        ::chmod(path.c_str(), mode);
        return path;
    }

    std::map<std::string, std::string> vars;
    testing::TempDir dir;
};

TEST_F(XdgPathsTest, DataAndConfigFoldersFollowTheVariablesOrHome) {
    EXPECT_EQ(appSupportDir(env()), "/home/ada/.local/share/Vigilo");
    EXPECT_EQ(preferencesDir(env()), "/home/ada/.config/Vigilo");
    vars = {{"XDG_DATA_HOME", "/data"}, {"XDG_CONFIG_HOME", "/conf"}};
    EXPECT_EQ(appSupportDir(env()), "/data/Vigilo");
    EXPECT_EQ(preferencesDir(env()), "/conf/Vigilo");
    vars = {{"XDG_DATA_HOME", "relative"}, {"XDG_CONFIG_HOME", ""}};
    EXPECT_EQ(appSupportDir(env()), "/home/ada/.local/share/Vigilo");
    EXPECT_EQ(preferencesDir(env()), "/home/ada/.config/Vigilo");
}

TEST_F(XdgPathsTest, RuntimeFolderFromTheEnvironmentMustBePrivate) {
    vars["XDG_RUNTIME_DIR"] = privateFolder("runtime").string();
    EXPECT_EQ(resolveRuntimeDir(env(), dir / "run-user", dir / "tmp").path, dir / "runtime");

    vars["XDG_RUNTIME_DIR"] = privateFolder("open", 0777).string();
    auto refused = resolveRuntimeDir(env(), dir / "run-user", dir / "tmp");
    EXPECT_TRUE(refused.path.empty());
    EXPECT_THAT(refused.error, HasSubstr("must be private"));

    vars["XDG_RUNTIME_DIR"] = (dir / "missing").string();
    EXPECT_TRUE(resolveRuntimeDir(env(), dir / "run-user", dir / "tmp").path.empty());
}

TEST_F(XdgPathsTest, RunUserIsUsedOnlyWhenRealAndPrivate) {
    const auto uid = std::to_string(::getuid());
    privateFolder("run-user/" + uid);
    privateFolder("tmp", 01777);
    EXPECT_EQ(resolveRuntimeDir(env(), dir / "run-user", dir / "tmp").path, dir / "run-user" / uid);

    ::chmod((dir / "run-user" / uid).c_str(), 0755);
    auto fallback = resolveRuntimeDir(env(), dir / "run-user", dir / "tmp");
    EXPECT_EQ(fallback.path, dir / "tmp" / ("vigilo-" + uid));
    struct stat st {};
    ASSERT_EQ(::lstat(fallback.path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
}

TEST_F(XdgPathsTest, HostileTmpFallbackIsRefused) {
    const auto uid = std::to_string(::getuid());
    privateFolder("tmp", 01777);
    auto target = privateFolder("elsewhere");
    std::filesystem::create_directory_symlink(target, dir / "tmp" / ("vigilo-" + uid));
    auto linked = resolveRuntimeDir(env(), dir / "run-user", dir / "tmp");
    EXPECT_TRUE(linked.path.empty());
    EXPECT_THAT(linked.error, HasSubstr("symbolic link"));

    std::filesystem::remove(dir / "tmp" / ("vigilo-" + uid));
    privateFolder("tmp/vigilo-" + uid, 0770);
    auto open = resolveRuntimeDir(env(), dir / "run-user", dir / "tmp");
    EXPECT_TRUE(open.path.empty());
    EXPECT_THAT(open.error, HasSubstr("0770"));

    std::filesystem::remove(dir / "tmp" / ("vigilo-" + uid));
    dir.write("tmp/vigilo-" + uid, "a file");
    EXPECT_THAT(resolveRuntimeDir(env(), dir / "run-user", dir / "tmp").error, HasSubstr("not a directory"));
}

}  // namespace
}  // namespace vigilo
