#include "ui/qt/tray.h"

#include <QAction>
#include <QCursor>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>

#include "app/app_state.h"
#include "safety/thermal_monitor.h"
#include "support/tr.h"
#include "ui/qt/install_dialog.h"
#include "ui/qt/window_shelf.h"
#include "ui/tray_icon.h"

namespace vigilo {

namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }

// The windows this build has; the menu shows the others disabled.
constexpr AvailableWindows kWindows{.dashboard = true, .status = true};

}  // namespace

Tray::Tray(const TrayServices& services, Loop& loop, WindowShelf& windows, std::function<void()> quit)
    : state_(services.state),
      cliInstaller_(services.cliInstaller),
      loop_(loop),
      windows_(windows),
      quit_(std::move(quit)),
      launchAtLogin_(services.loginItem),
      actions_(services.state, loop, launchAtLogin_),
      icon_(std::make_unique<QSystemTrayIcon>()) {
    refreshIcon();
    rebuildMenu();
    subscribe();
    followTick();
    // A click on the icon opens the menu too, where the panel leaves that
    // to the application.
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated, icon_.get(), [this](auto reason) {
        if (reason == QSystemTrayIcon::Trigger && menu_) menu_->popup(QCursor::pos());
    });
    icon_->show();
}

Tray::~Tray() {
    icon_->hide();
    icon_->setContextMenu(nullptr);
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
    const auto& mode = state_.mode.get();
    auto icon = iconThemeName(trayIcon(mode, state_.clamshellActive.get(), state_.thermal().currentLevel()));
    if (icon != shownIcon_) {
        icon_->setIcon(QIcon::fromTheme(text(icon)));
        shownIcon_ = std::move(icon);
    }
    auto tooltip = trayTooltip(mode);
    if (tooltip != shownTooltip_) {
        icon_->setToolTip(text(tooltip));
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

void Tray::rebuildMenu() {
    auto items = buildTrayMenu(gatherStateFacts(state_), kWindows);
    if (menu_ && items == shownItems_) return;
    auto menu = std::make_unique<QMenu>();
    fill(*menu, items);
    icon_->setContextMenu(menu.get());
    // The old menu may still be closing: it goes at the next turn.
    if (menu_) menu_.release()->deleteLater();
    menu_ = std::move(menu);
    shownItems_ = std::move(items);
}

void Tray::fill(QMenu& menu, const std::vector<MenuItem>& items) {
    using Kind = MenuItem::Kind;
    for (const auto& item : items) {
        if (item.kind == Kind::separator) {
            menu.addSeparator();
            continue;
        }
        if (item.kind == Kind::submenu) {
            QMenu* submenu = menu.addMenu(text(item.text));
            submenu->setEnabled(item.enabled);
            fill(*submenu, item.children);
            continue;
        }
        // Menus have no indentation of their own.
        auto* action = menu.addAction(QString(item.indent * 4, QLatin1Char(' ')) + text(item.text));
        action->setEnabled(item.enabled);
        action->setCheckable(item.kind == Kind::check);
        action->setChecked(item.checked);
        if (item.bold) {
            QFont font = action->font();
            font.setBold(true);
            action->setFont(font);
        }
        if (!item.shortcut.empty()) action->setShortcut(QKeySequence(text("Ctrl+" + item.shortcut)));
        if (item.kind != Kind::line) {
            QObject::connect(action, &QAction::triggered, &menu, [this, item] { choose(item); });
        }
    }
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
        case TrayAction::installCli: runInstallDialog(cliInstaller_); break;
        case TrayAction::quit: quitGuarded(); break;
        default: break;
        }
    });
}

void Tray::quitGuarded() {
    if (state_.clamshellActive.get() && !state_.restoreSleepBeforeQuit()) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Vigilo"), text(tr("Closed-lid mode is still on")));
        box.setInformativeText(text(
            tr("Vigilo couldn't restore normal sleep (the admin prompt was cancelled). If you quit now, your "
               "computer may stay awake with the lid closed. Vigilo will restore it the next time it launches "
               "\u2014 or run in Terminal: sudo rm /run/systemd/logind.conf.d/vigilo-lid.conf && "
               "sudo systemctl kill -s HUP systemd-logind")));
        auto* quit = box.addButton(text(tr("Quit Anyway")), QMessageBox::DestructiveRole);
        box.setDefaultButton(box.addButton(text(tr("Cancel")), QMessageBox::RejectRole));
        box.exec();
        if (box.clickedButton() != quit) return;
    }
    quit_();
}

}  // namespace vigilo
