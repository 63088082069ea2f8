#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main/ui_module_abi.h"
#include "support/handle.h"
#include "ui/tray_actions.h"
#include "ui/tray_menu_model.h"

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace vigilo {

class WindowShelf;

// The tray icon and its menu, drawn from the tray models. The icon is made
// when a panel's tray host is there (makeIcon) and made again for a new one;
// its picture and tooltip follow the state; the menu is rebuilt from scratch after every
// observed change, on the next turn of the loop, so a change made from
// inside a menu action never pulls the menu out from under its own handler.
// Main thread only.
class Tray {
public:
    // `quit` ends the application once the quit guard lets it.
    Tray(const TrayServices& services, Loop& loop, WindowShelf& windows, std::function<void()> quit);
    ~Tray();
    Tray(const Tray&) = delete;
    Tray& operator=(const Tray&) = delete;

    // A fresh icon for the host that is there now, and none while there is none.
    void makeIcon();
    void dropIcon();

    // Quits as the menu's entry does, once sleep is given back.
    void quitGuarded();

    // The menu as it stands, for tests and screenshots.
    QMenu* menu() const { return menu_.get(); }
    // Nothing while no host shows it.
    QSystemTrayIcon* icon() const { return icon_.get(); }

private:
    void subscribe();
    void scheduleRebuild();
    void refreshIcon();
    void rebuildMenu();
    void freshMenu();
    void fill(QMenu& menu, const std::vector<MenuItem>& items);
    void show(QAction& entry, const MenuItem& item);
    void choose(const MenuItem& item);
    void followTick();
    bool quitAnyway();

    AppState& state_;
    CLIInstaller& cliInstaller_;
    Loop& loop_;
    WindowShelf& windows_;
    std::function<void()> quit_;
    TrayActions actions_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    std::unique_ptr<QMenu> menu_;
    std::vector<QMenu*> submenus_;  // the menu's own submenus, remade with it
    std::vector<QAction*> entries_;  // every entry, depth first
    // What the icon and menu show now: an unchanged state sends the panel
    // nothing (the battery is re-read every 10 seconds, the tick runs every
    // second).
    std::vector<MenuItem> shownItems_;
    std::string shownIcon_;
    std::string shownTooltip_;
    std::vector<Handle> subscriptions_;
    Handle tick_;
    // The live list of what else keeps the computer awake, followed while the tray exists.
    InhibitorWatch* inhibitors_ = nullptr;
    Handle lookingAtInhibitors_;
    Handle followInhibitors_;
    bool rebuildPending_ = false;
    LifeToken life_;
};

}  // namespace vigilo
