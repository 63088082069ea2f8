#include "ui/qt/tray.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

#include "tray_fixture.h"
#include "ui/qt/window_shelf.h"

namespace vigilo {
namespace {

// The entries' texts, submenus flattened after their own entry.
std::vector<std::string> entries(const QMenu& menu) {
    std::vector<std::string> texts;
    for (QAction* action : menu.actions()) {
        if (action->isSeparator()) continue;
        texts.push_back(action->text().toStdString());
        if (action->menu()) {
            for (auto& text : entries(*action->menu())) texts.push_back("  " + text);
        }
    }
    return texts;
}

QAction* find(const QMenu& menu, const std::string& text) {
    for (QAction* action : menu.actions()) {
        if (action->text().toStdString() == text) return action;
    }
    return nullptr;
}

using TrayTest = testing::TrayFixture;

TEST_F(TrayTest, MenuAndTooltipFollowTheStateAndQuitGoesThroughTheGuard) {
    auto tray = services();
    WindowShelf windows(tray, loop);
    bool quit = false;
    Tray view(tray, loop, windows, [&] { quit = true; });
    EXPECT_EQ(view.icon().toolTip().toStdString(), "Vigilo \u2014 Awake Off");
    EXPECT_EQ(find(*view.menu(), "Stop"), nullptr);

    find(*view.menu(), "Keep Awake")->trigger();
    loop.runUntilIdle();
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::on));
    EXPECT_EQ(view.icon().toolTip().toStdString(), "Vigilo \u2014 Awake On");
    EXPECT_TRUE(find(*view.menu(), "Keep Awake")->isChecked());
    ASSERT_NE(find(*view.menu(), "Stop"), nullptr);

    find(*view.menu(), "Stop")->trigger();
    loop.runUntilIdle();
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::off));
    EXPECT_EQ(find(*view.menu(), "Stop"), nullptr);

    find(*view.menu(), "Quit Vigilo")->trigger();
    loop.runUntilIdle();
    EXPECT_TRUE(quit);
}

}  // namespace
}  // namespace vigilo
