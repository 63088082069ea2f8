#include "ui/qt/tray.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>

#include "app/app_settings.h"
#include "app/app_state.h"
#include "cli/command_runner.h"
#include "safety/battery_monitor.h"
#include "safety/cooling_manager.h"
#include "safety/thermal_monitor.h"
#include "support/tr.h"
#include "ui/qt/tray_icons.h"
#include "ui/qt/window_shelf.h"

namespace vigilo {

namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

Tray::Tray(const TrayServices& services, Loop& loop, WindowShelf& windows, std::function<void()> quit)
    : services_(services), loop_(loop), windows_(windows), quit_(std::move(quit)), icon_(std::make_unique<QSystemTrayIcon>()) {
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
    auto& state = services_.state;
    auto changed = [this](const auto&) {
        refreshIcon();
        followTick();
        scheduleRebuild();
    };
    subscriptions_.push_back(state.mode.subscribe(changed));
    subscriptions_.push_back(state.assertionActive.subscribe(changed));
    subscriptions_.push_back(state.timerExpiresAt.subscribe(changed));
    subscriptions_.push_back(state.clamshellActive.subscribe(changed));
    subscriptions_.push_back(services_.battery.snapshot().subscribe(changed));
    subscriptions_.push_back(services_.thermal.level().subscribe(changed));
    subscriptions_.push_back(services_.watcher.matches.subscribe(changed));
    subscriptions_.push_back(services_.runner.isRunning().subscribe(changed));
    subscriptions_.push_back(services_.settings.launchAtLogin.subscribe(changed));
    subscriptions_.push_back(services_.settings.preventDisplaySleep.subscribe(changed));
    subscriptions_.push_back(services_.cooling.temperature().subscribe(changed));
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

void Tray::refreshIcon() {
    const auto& mode = services_.state.mode.get();
    icon_->setIcon(stateIcon(mode, services_.state.clamshellActive.get(), services_.thermal.level().get()));
    icon_->setToolTip(text(trFormat("Vigilo \u2014 {}", mode.shortLabel())));
}

// The time-showing modes refresh every second; the others cost nothing idle.
void Tray::followTick() {
    using Kind = KeepAwakeMode::Kind;
    const auto kind = services_.state.mode.get().kind();
    const bool wanted = kind == Kind::timer || kind == Kind::autoWatch || kind == Kind::runCommand;
    if (wanted && !tick_.active()) {
        tick_ = loop_.startRepeating(std::chrono::seconds(1), [this] { refreshIcon(); });
    } else if (!wanted) {
        tick_.cancel();
    }
}

void Tray::rebuildMenu() {
    auto menu = std::make_unique<QMenu>();
    auto& state = services_.state;
    auto deferred = [this](auto operation) {
        return [this, operation] { loop_.post([this, operation, alive = life_.weak()] {
            if (alive.lock()) operation(services_.state);
        }); };
    };
    auto* live = menu->addAction(text(state.liveStatus()));
    live->setEnabled(false);
    QFont bold = live->font();
    bold.setBold(true);
    live->setFont(bold);
    menu->addSeparator();
    using Kind = KeepAwakeMode::Kind;
    const auto kind = state.mode.get().kind();
    auto addCheck = [&](const std::string& title, bool checked, auto act) {
        auto* action = menu->addAction(text(title));
        action->setCheckable(true);
        action->setChecked(checked);
        QObject::connect(action, &QAction::triggered, action, act);
        return action;
    };
    addCheck(tr("Auto Mode"), kind == Kind::autoWatch, deferred([](AppState& s) { s.toggleAutoWatch(); }));
    addCheck(tr("Keep Awake"), kind == Kind::on, deferred([](AppState& s) {
        if (s.mode.get().is(Kind::on)) {
            s.stop();
        } else {
            s.startAlwaysOn();
        }
    }));
    addCheck(tr("Closed-Lid Mode\u2026"), state.clamshellActive.get(),
             deferred([](AppState& s) { s.toggleClamshell(); }));
    if (kind != Kind::off) {
        QObject::connect(menu->addAction(text(tr("Stop"))), &QAction::triggered, menu.get(), [this] {
            services_.state.stop();
        });
    }
    menu->addSeparator();
    auto* windows = menu->addMenu(text(tr("Windows")));
    QObject::connect(windows->addAction(text(tr("Dashboard\u2026"))), &QAction::triggered, windows,
                     [this] { windows_.showDashboard(); });
    QObject::connect(windows->addAction(text(tr("Show Status Window\u2026"))), &QAction::triggered, windows,
                     [this] { windows_.showStatus(); });
    menu->addSeparator();
    QObject::connect(menu->addAction(text(tr("Quit Vigilo"))), &QAction::triggered, menu.get(),
                     [this] { quitGuarded(); });

    icon_->setContextMenu(menu.get());
    if (menu_) menu_.release()->deleteLater();
    menu_ = std::move(menu);
}

void Tray::quitGuarded() {
    auto& state = services_.state;
    if (state.clamshellActive.get() && !state.restoreSleepBeforeQuit()) {
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
