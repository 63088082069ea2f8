#include "ui/qt/tray.h"

#include <QAction>
#include <QMenu>
#include <QApplication>
#include <QSystemTrayIcon>
#include <QTest>

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

// The shown top-level window with this title, if any.
QWidget* shownWindow(const char* title) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowTitle().toStdString() == title) return widget;
    }
    return nullptr;
}

TEST_F(TrayTest, WindowEntriesOpenTheirWindowWhichEscapeHidesAndTheNextUseBringsBack) {
    auto tray = services();
    WindowShelf windows(tray, loop);
    Tray view(tray, loop, windows, [] {});
    QMenu& menu = *find(*view.menu(), "Windows")->menu();
    const std::pair<const char*, const char*> cases[] = {
        {"Smart Rules\u2026", "Vigilo Smart Rules"},
        {"Alerts\u2026", "Vigilo Alerts"},
    };
    for (const auto& [entry, title] : cases) {
        find(menu, entry)->trigger();
        loop.runUntilIdle();
        QWidget* window = shownWindow(title);
        ASSERT_NE(window, nullptr) << entry;
        QTest::keyClick(window, Qt::Key_Escape);
        EXPECT_EQ(shownWindow(title), nullptr) << entry;
        find(menu, entry)->trigger();
        loop.runUntilIdle();
        EXPECT_EQ(shownWindow(title), window) << entry;
    }
}

}  // namespace
}  // namespace vigilo
