#include "ui/qt/tray.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>

#include "app/app_state.h"
#include "app/why/inhibitor_table.h"
#include "app/why/inhibitor_watch.h"
#include "safety/thermal_monitor.h"
#include "support/tr.h"
#include "ui/qt/install_dialog.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/window_shelf.h"
#include "ui/tray_icon.h"
#include "ui/why_facts.h"

namespace vigilo {

namespace {

// The windows this build has; the menu shows the others disabled.
// The entries depth first, each with its depth: two menus of the same shape
// differ only in texts, marks and what is enabled.
void flatten(const std::vector<MenuItem>& items, int depth, std::vector<std::pair<const MenuItem*, int>>& out) {
    for (const auto& item : items) {
        out.emplace_back(&item, depth);
        flatten(item.children, depth + 1, out);
    }
}

bool sameShape(const std::vector<MenuItem>& a, const std::vector<MenuItem>& b) {
    std::vector<std::pair<const MenuItem*, int>> left, right;
    flatten(a, 0, left);
    flatten(b, 0, right);
    return std::equal(left.begin(), left.end(), right.begin(), right.end(), [](const auto& x, const auto& y) {
        return x.first->kind == y.first->kind && x.second == y.second;
    });
}

}  // namespace

Tray::Tray(const TrayServices& services, Loop& loop, WindowShelf& windows, std::function<void()> quit)
    : state_(services.state),
      cliInstaller_(services.cliInstaller),
      loop_(loop),
      windows_(windows),
      quit_(std::move(quit)),
      actions_(services.state, loop, services.launchAtLogin),
      menu_(std::make_unique<QMenu>()) {
    if ((inhibitors_ = services.inhibitors)) {
        lookingAtInhibitors_ = inhibitors_->look();
        followInhibitors_ = inhibitors_->entries.subscribe([this](const auto&) {
            refreshIcon();
            scheduleRebuild();
        });
    }
    rebuildMenu();
    subscribe();
    followTick();
}

Tray::~Tray() { dropIcon(); }

// A panel that restarted knows nothing of the icon made for its last run;
// Qt also chooses between the bus and the X11 tray only when an icon is made.
// The menu is made afresh with it: Qt's bus export keeps the menu it was
// given for the icon it was given to.
void Tray::makeIcon() {
    dropIcon();
    freshMenu();
    icon_ = std::make_unique<QSystemTrayIcon>();
    shownIcon_.clear();
    shownTooltip_.clear();
    refreshIcon();
    icon_->setContextMenu(menu_.get());
    // Left click (the item's Activate) opens the status window; the menu is
    // the panel's, on right click, so there is one menu and not two.
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated, icon_.get(), [this](auto reason) {
        if (reason != QSystemTrayIcon::Trigger) return;
        loop_.post([this, alive = life_.weak()] {
            if (alive.lock()) windows_.showStatus();
        });
    });
    icon_->show();
    windows_.clearStatusNotice();  // the window no longer has to say there is no icon
}

void Tray::freshMenu() {
    for (QMenu* submenu : std::exchange(submenus_, {})) delete submenu;
    entries_.clear();
    shownItems_.clear();
    menu_ = std::make_unique<QMenu>();
    rebuildMenu();
}

void Tray::dropIcon() {
    if (!icon_) return;
    icon_->hide();
    icon_->setContextMenu(nullptr);
    icon_.reset();
}

void Tray::subscribe() {
    subscriptions_ = watchStateFacts(state_, [this] {
        refreshIcon();
        followTick();
        scheduleRebuild();
    });
}

// Several values often change in one go (a stop releases the lock, then
// changes the mode): they make one rebuild.
void Tray::scheduleRebuild() {
    if (std::exchange(rebuildPending_, true)) return;
    loop_.post([this, alive = life_.weak()] {
        if (!alive.lock()) return;
        rebuildPending_ = false;
        rebuildMenu();
    });
}

// By theme name, so the panel recolours the symbolic icon like its own.
void Tray::refreshIcon() {
    if (!icon_) return;
    const auto& mode = state_.mode.get();
    auto icon = iconThemeName(trayIcon(mode, state_.clamshellActive.get(), state_.thermal().currentLevel()));
    if (icon != shownIcon_) {
        icon_->setIcon(QIcon::fromTheme(qtext(icon)));
        shownIcon_ = std::move(icon);
    }
    auto tooltip = trayTooltip(mode);
    if (auto names = inhibitors_ ? alsoKeepingAwakeNames(inhibitors_->entries.get()) : ""; !names.empty()) {
        tooltip += "\n" + trFormat("Also keeping awake: {}", names);
    }
    if (tooltip != shownTooltip_) {
        icon_->setToolTip(qtext(tooltip));
        shownTooltip_ = std::move(tooltip);
    }
}

// The time-showing modes refresh every second; the others cost nothing idle.
void Tray::followTick() {
    const bool wanted = trayNeedsSecondTick(state_.mode.get());
    if (wanted && !tick_.active()) {
        tick_ = loop_.startRepeating(std::chrono::seconds(1), [this] { refreshIcon(); });
    } else if (!wanted) {
        tick_.cancel();
    }
}

// One menu object for the life of the icon, its entries changed in place
// where the shape allows: a panel reads it over D-Bus, and Qt's export keeps
// something of every entry it was ever given (~10 KB a menu).
void Tray::rebuildMenu() {
    auto facts = gatherStateFacts(state_);
    if (inhibitors_) addOthersKeepingAwake(facts, inhibitors_->entries.get());
    auto items = buildTrayMenu(facts);
    if (!shownItems_.empty() && items == shownItems_) return;
    const bool inPlace = !shownItems_.empty() && sameShape(items, shownItems_);
    shownItems_ = std::move(items);
    std::vector<std::pair<const MenuItem*, int>> flat;
    flatten(shownItems_, 0, flat);
    if (!inPlace) {
        // A submenu takes its entry in the menu with it.
        for (QMenu* submenu : std::exchange(submenus_, {})) delete submenu;
        menu_->clear();
        entries_.clear();
        fill(*menu_, shownItems_);
    }
    for (std::size_t i = 0; i < flat.size(); ++i) show(*entries_[i], *flat[i].first);
}

// Adds the entries, depth first as flatten() lists them; show() fills them in.
void Tray::fill(QMenu& menu, const std::vector<MenuItem>& items) {
    using Kind = MenuItem::Kind;
    for (const auto& item : items) {
        const std::size_t index = entries_.size();
        if (item.kind == Kind::separator) {
            entries_.push_back(menu.addSeparator());
        } else if (item.kind == Kind::submenu) {
            QMenu* submenu = menu.addMenu(QString());
            // Nested ones go with their parent.
            if (&menu == menu_.get()) submenus_.push_back(submenu);
            entries_.push_back(submenu->menuAction());
            fill(*submenu, item.children);
        } else {
            auto* action = menu.addAction(QString());
            entries_.push_back(action);
            if (item.bold) {
                QFont font = action->font();
                font.setBold(true);
                action->setFont(font);
            }
            // The entry's current item, looked up when chosen.
            QObject::connect(action, &QAction::triggered, &menu, [this, index] {
                std::vector<std::pair<const MenuItem*, int>> flat;
                flatten(shownItems_, 0, flat);
                if (index < flat.size()) choose(*flat[index].first);
            });
        }
    }
}

void Tray::show(QAction& entry, const MenuItem& item) {
    if (item.kind == MenuItem::Kind::separator) return;
    // Menus have no indentation of their own.
    entry.setText(QString(item.indent * 4, QLatin1Char(' ')) + qtext(item.text));
    entry.setEnabled(item.enabled);
    entry.setCheckable(item.kind == MenuItem::Kind::check);
    entry.setChecked(item.checked);
}

// The view's own entries open windows and modal dialogs: they run after the
// menu's handler has returned, so a dialog's nested loop never runs inside
// the menu (or inside the panel's D-Bus call that chose the entry).
void Tray::choose(const MenuItem& item) {
    if (actions_.perform(item)) return;
    loop_.post([this, alive = life_.weak(), action = item.action] {
        if (!alive.lock()) return;
        switch (action) {
        case TrayAction::openDashboard: windows_.showDashboard(); break;
        case TrayAction::openStatusWindow: windows_.showStatus(); break;
        case TrayAction::openSmartRules: windows_.showRules(); break;
        case TrayAction::openAlerts: windows_.showAlerts(); break;
        case TrayAction::openWeeklyReport: windows_.showReport(); break;
        case TrayAction::openActivityLog: windows_.showActivity(); break;
        case TrayAction::openWhy: windows_.showWhy(); break;
        case TrayAction::openRunCommand: windows_.showCommand(); break;
        case TrayAction::openSettings: windows_.showSettings(); break;
        case TrayAction::showOnboarding: windows_.showOnboarding(); break;
        case TrayAction::installCli: runInstallDialog(cliInstaller_); break;
        case TrayAction::quit: quitGuarded(); break;
        default: break;
        }
    });
}

// Sleep is given back before the loop ends, so a helper that has to run
// for it answers while the tray still can.
void Tray::quitGuarded() {
    if (!state_.clamshellActive.get()) return quit_();
    state_.restoreSleepBeforeQuit([this, weak = life_.weak()](bool restored) {
        if (weak.lock() && (restored || quitAnyway())) quit_();
    });
}

bool Tray::quitAnyway() {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Vigilo"), qtext(tr("Closed-lid mode is still on")));
    box.setInformativeText(qtext(
        tr("Vigilo couldn't restore normal sleep (the admin prompt was cancelled). If you quit now, your "
           "computer may stay awake with the lid closed. Vigilo will restore it the next time it launches "
           "\u2014 or run in Terminal: sudo rm /run/systemd/logind.conf.d/vigilo-lid.conf && "
           "sudo systemctl kill -s HUP systemd-logind")));
    auto* quit = box.addButton(qtext(tr("Quit Anyway")), QMessageBox::DestructiveRole);
    box.setDefaultButton(box.addButton(qtext(tr("Cancel")), QMessageBox::RejectRole));
    box.exec();
    return box.clickedButton() == quit;
}

}  // namespace vigilo
