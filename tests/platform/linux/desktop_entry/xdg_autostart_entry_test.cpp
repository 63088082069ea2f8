#include "platform/linux/desktop_entry/xdg_autostart_entry.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <future>

#include "common/log_capture.h"
#include "common/temp_dir.h"
#include "support/xdg_paths.h"

namespace vigilo::testing {
namespace {

namespace fs = std::filesystem;

TEST(XdgAutostartEntry, EnableWritesTheEntryDisableRemovesIt) {
    TempDir config;
    XdgEnvironment env;
    env.home = config / "home";
    env.getenv = [&](const char* name) -> std::optional<std::string> {
        if (std::string(name) == "XDG_CONFIG_HOME") return (config / "cfg").string();
        return std::nullopt;
    };
    const fs::path file = XdgAutostartEntry::fileFor(env);
    EXPECT_EQ(file, config / "cfg/autostart/com.vigilo.app.desktop");

    XdgAutostartEntry entry(file, "/opt/My Apps/vigilo-app");
    EXPECT_FALSE(entry.isEnabled());
    EXPECT_EQ(entry.disable(), std::nullopt) << "nothing to remove is no failure";
    EXPECT_EQ(entry.enable(), std::nullopt);
    EXPECT_TRUE(entry.isEnabled());
    const auto text = readFile(file);
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("\nExec=\"/opt/My Apps/vigilo-app\"\n"), std::string::npos) << *text;
    if (fs::exists("/usr/bin/desktop-file-validate")) {
        EXPECT_EQ(std::system(("desktop-file-validate '" + file.string() + "'").c_str()), 0);
    }

    // The desktop's own switch hides the entry instead of deleting it.
    config.write("cfg/autostart/com.vigilo.app.desktop", *text + "Hidden=true\n");
    EXPECT_FALSE(entry.isEnabled());
    EXPECT_EQ(entry.disable(), std::nullopt);
    EXPECT_FALSE(fs::exists(file));

    // A file where the autostart folder should be: the failure is told.
    fs::remove_all(config / "cfg");
    config.write("cfg/autostart", "not a folder");
    EXPECT_TRUE(entry.enable().has_value());
}

// What sits at the entry's path is checked at every start, before the
// socket answers: whatever it is, the answer comes at once, "off".
TEST(XdgAutostartEntry, SomethingElseInTheEntrysPlaceReadsAsOffWithoutStallingTheStart) {
    const struct {
        const char* name;
        void (*make)(const TempDir& config, const fs::path& file);
        const char* problem;
    } cases[] = {
        {"a FIFO", [](const TempDir&, const fs::path& file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }, "not a regular file"},
        {"a link to /dev/zero", [](const TempDir&, const fs::path& file) { fs::create_symlink("/dev/zero", file); },
         "not a regular file"},
        {"a folder", [](const TempDir&, const fs::path& file) { fs::create_directory(file); }, "not a regular file"},
        {"an oversized entry",
         [](const TempDir& config, const fs::path& file) {
             config.write(fs::relative(file, config.path()).string(), std::string(1024 * 1024, '#'));
         },
         "1048576 bytes is too big"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir config;
        const fs::path file = config / "autostart/com.vigilo.app.desktop";
        fs::create_directories(file.parent_path());
        c.make(config, file);
        LogCapture log;
        XdgAutostartEntry entry(file, "/usr/bin/vigilo-app");
        auto answer = std::async(std::launch::async, [&entry] { return entry.isEnabled(); });
        if (answer.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
            // A reader stuck in open() on the FIFO is let go by a writer coming and going.
            ::close(::open(file.c_str(), O_WRONLY | O_NONBLOCK));
            ADD_FAILURE() << "isEnabled() blocked";
        }
        EXPECT_FALSE(answer.get());
        EXPECT_TRUE(log.contains("LaunchAtLogin: error: Login item " + file.string() + " is not usable: " + c.problem));

        // Switching it on puts a real entry in its place.
        if (fs::is_directory(file)) continue;
        EXPECT_EQ(entry.enable(), std::nullopt);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
        EXPECT_TRUE(entry.isEnabled());
    }
}

TEST(XdgAutostartEntry, ExecQuotesWhatTheKeyReserves) {
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/bin/vigilo-app", "\"/usr/bin/vigilo-app\""},
        {"/opt/a\"b$c`d", "\"/opt/a\\\\\"b\\\\$c\\\\`d\""},
        {"/opt/back\\slash", "\"/opt/back\\\\\\\\slash\""},
        {"/opt/100%", "\"/opt/100%%\""},
    };
    for (const auto& [path, exec] : cases) EXPECT_EQ(desktopExecArgument(path), exec) << path;
    EXPECT_EQ(desktopExecArgument("/opt/line\nbreak"), std::nullopt);
}

}  // namespace
}  // namespace vigilo::testing
