#include "support/tr.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "app/keep_awake_mode.h"
#include "common/temp_dir.h"

namespace vigilo {
namespace {

// A German catalogue compiled into a temporary locale folder reaches the
// texts the user sees; a translation whose placeholders do not fit is not used.
TEST(TranslationTest, ACatalogueInTheLocaleFolderChangesVisibleTexts) {
    testing::TempDir dir;
    const auto po = dir.write("de.po", R"(msgid ""
msgstr "Content-Type: text/plain; charset=UTF-8\n"

msgid "Awake Off"
msgstr "Wachhalten aus"

msgid "Battery low: {}%. Plug in soon."
msgstr "Akku schwach: {} {}%."
)");
    const auto mo = dir / "de/LC_MESSAGES/vigilo.mo";
    std::filesystem::create_directories(mo.parent_path());
    ASSERT_EQ(std::system(("msgfmt -o '" + mo.string() + "' '" + po.string() + "'").c_str()), 0);

    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::setenv("LANGUAGE", "de", 1);
    initLocalisation(dir.path().c_str());
    const std::string label = KeepAwakeMode::off().shortLabel();
    const std::string battery = trFormat("Battery low: {}%. Plug in soon.", 9);
    ::unsetenv("LANGUAGE");
    ::unsetenv("LC_ALL");
    std::setlocale(LC_ALL, "C");

    EXPECT_EQ(label, "Wachhalten aus");
    EXPECT_EQ(battery, "Battery low: 9%. Plug in soon.");
    EXPECT_EQ(KeepAwakeMode::off().shortLabel(), "Awake Off");
}

}  // namespace
}  // namespace vigilo
