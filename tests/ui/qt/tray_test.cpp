#include "ui/qt/tray.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <array>

#include "common/log_capture.h"
#include "tray_fixture.h"
#include "ui/qt/status_card.h"
#include "ui/qt/window_shelf.h"
#include "ui/status_view_model.h"

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
    EXPECT_EQ(view.icon(), nullptr) << "no icon before a host shows it";
    view.makeIcon();
    EXPECT_EQ(view.icon()->toolTip().toStdString(), "Vigilo \u2014 Awake Off");
    EXPECT_EQ(find(*view.menu(), "Stop"), nullptr);

    find(*view.menu(), "Keep Awake")->trigger();
    loop.runUntilIdle();
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::on));
    EXPECT_EQ(view.icon()->toolTip().toStdString(), "Vigilo \u2014 Awake On");
    EXPECT_TRUE(find(*view.menu(), "Keep Awake")->isChecked());
    ASSERT_NE(find(*view.menu(), "Stop"), nullptr);

    find(*view.menu(), "Stop")->trigger();
    loop.runUntilIdle();
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::off));
    EXPECT_EQ(find(*view.menu(), "Stop"), nullptr);

    state().performRuleAction(RuleAction::StartClamshell{});
    ASSERT_TRUE(state().clamshellActive.get());
    clamshell.answerLater = true;  // the helper gives sleep back a moment later
    find(*view.menu(), "Quit Vigilo")->trigger();
    loop.runUntilIdle();
    EXPECT_FALSE(quit) << "not before sleep is given back";
    clamshell.answerWaiting();
    EXPECT_FALSE(state().clamshellActive.get());
    EXPECT_TRUE(quit);
}

std::vector<QWidget*> shownWindows(const std::string& title) {
    std::vector<QWidget*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowTitle().toStdString() == title) found.push_back(widget);
    }
    return found;
}

// One menu, the panel's, and no keyboard shortcuts in it (a tray menu never
// has the key focus); a left click opens the status window instead. An icon
// made again for a new host has the whole menu.
TEST_F(TrayTest, LeftClickOpensTheStatusWindowAndTheMenuHasNoShortcuts) {
    auto tray = services();
    WindowShelf windows(tray, loop);
    Tray view(tray, loop, windows, [] {});
    view.makeIcon();
    view.makeIcon();
    ASSERT_NE(find(*view.menu(), "Quit Vigilo"), nullptr);
    std::function<void(const QMenu&)> noShortcuts = [&](const QMenu& menu) {
        for (QAction* action : menu.actions()) {
            EXPECT_TRUE(action->shortcut().isEmpty()) << action->text().toStdString();
            if (action->menu()) noShortcuts(*action->menu());
        }
    };
    noShortcuts(*view.menu());

    Q_EMIT view.icon()->activated(QSystemTrayIcon::Trigger);
    loop.runUntilIdle();
    EXPECT_EQ(shownWindows("Vigilo Status").size(), 1u);
    EXPECT_FALSE(view.menu()->isVisible());
}

QPushButton* button(QWidget& window, const std::string& text) {
    for (auto* candidate : window.findChildren<QPushButton*>()) {
        if (candidate->isVisible() && candidate->text().toStdString() == text) return candidate;
    }
    return nullptr;
}

bool showsNoTrayNotice(QWidget& card) {
    const auto labels = card.findChildren<QLabel*>();
    return std::any_of(labels.begin(), labels.end(), [](QLabel* label) {
        return label->isVisible() && label->text().startsWith(QStringLiteral("Your desktop shows no tray icons."));
    });
}

// A second launch in the first seconds opens the card before the notice
// comes; a host that comes later gets the icon, and the card stops saying
// there is none. The log has the sentence once, not at every redraw.
TEST_F(TrayTest, TheNoTrayNoticeComesToAnOpenCardAndGoesWithTheIcon) {
    testing::LogCapture log;
    auto tray = services();
    WindowShelf windows(tray, loop);
    Tray view(tray, loop, windows, [] {});
    QWidget& card = windows.showStatus();
    EXPECT_FALSE(showsNoTrayNotice(card));

    windows.setStatusNotice(noTrayNotice(false));
    windows.showStatus();
    loop.fastForwardBy(std::chrono::seconds(3));
    EXPECT_TRUE(showsNoTrayNotice(card));
    const auto lines = log.lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line == "Tray: The status window says: " + noTrayNotice(false);
                            }),
              1);

    view.makeIcon();
    EXPECT_FALSE(showsNoTrayNotice(card));
    windows.showStatus();
    EXPECT_FALSE(showsNoTrayNotice(card));
}

// Reached without a tray, the status card is a way in of its own: it says
// why it opened, carries the mode's actions and quits.
TEST_F(TrayTest, StatusCardTellsWhyItOpenedAndCarriesTheActionsAndQuit) {
    auto tray = services();
    WindowShelf windows(tray, loop);
    bool quit = false;
    windows.setQuit([&] { quit = true; });
    windows.setStatusNotice(noTrayNotice(true));
    QWidget& card = windows.showStatus();
    EXPECT_TRUE(showsNoTrayNotice(card));

    ASSERT_NE(button(card, "Start"), nullptr);
    QTest::mouseClick(button(card, "Start"), Qt::LeftButton);
    loop.runUntilIdle();
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::on));
    ASSERT_NE(button(card, "Stop"), nullptr) << "the card follows the mode";
    EXPECT_EQ(button(card, "Start"), nullptr);

    QTest::mouseClick(button(card, "Quit Vigilo"), Qt::LeftButton);
    loop.runUntilIdle();
    EXPECT_TRUE(quit);
}

// Each window entry opens its window with its title; Escape puts it away
// and a second use brings back the same window instead of a new one. The
// dashboard alone is let go when closed (its charts hold megabytes) and
// made again.
TEST_F(TrayTest, WindowEntriesOpenTheirWindowWhichEscapeHidesAndTheNextUseBringsBack) {
    auto tray = services();
    WindowShelf windows(tray, loop);
    Tray view(tray, loop, windows, [] {});
    auto shown = [](const std::string& title) {
        std::vector<QWidget*> found;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && widget->windowTitle().toStdString() == title) found.push_back(widget);
        }
        return found;
    };
    const std::array<std::array<const char*, 3>, 9> entries{{
        {"Windows", "Dashboard\u2026", "Vigilo Dashboard"},
        {"Windows", "Smart Rules\u2026", "Vigilo Smart Rules"},
        {"Windows", "Alerts\u2026", "Vigilo Alerts"},
        {"Windows", "Weekly Report\u2026", "Vigilo Weekly Report"},
        {"Windows", "Activity Log\u2026", "Vigilo Activity"},
        {"Windows", "Show Status Window\u2026", "Vigilo Status"},
        {"More", "Run Command\u2026", "Run & Watch a Command"},
        {"More", "Show Onboarding\u2026", "Welcome to Vigilo"},
        {"", "Settings\u2026", "Vigilo Settings"},
    }};
    for (const auto& [submenu, text, title] : entries) {
        const QMenu* menu = *submenu ? find(*view.menu(), submenu)->menu() : view.menu();
        QAction* entry = find(*menu, text);
        ASSERT_NE(entry, nullptr) << text;
        entry->trigger();
        loop.runUntilIdle();
        const auto first = shown(title);
        ASSERT_EQ(first.size(), 1u) << title;
        QTest::keyClick(first.front(), Qt::Key_Escape);
        EXPECT_TRUE(shown(title).empty()) << title;
        const bool letGo = std::string(title) == "Vigilo Dashboard";
        if (letGo) {
            loop.runUntilIdle();
            const auto all = QApplication::topLevelWidgets();
            EXPECT_TRUE(std::none_of(all.begin(), all.end(), [&](QWidget* widget) {
                return widget->windowTitle().toStdString() == title;
            })) << "a closed dashboard is let go";
        }
        entry->trigger();
        loop.runUntilIdle();
        if (letGo) {
            EXPECT_EQ(shown(title).size(), 1u) << title;
        } else {
            EXPECT_EQ(shown(title), first) << title;
        }
    }
}

}  // namespace
}  // namespace vigilo
