#include "platform/linux/desktop_entry/xdg_autostart_entry.h"

#include <gtest/gtest.h>

#include <cstdlib>

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
