#include "ui/qt/qt_user_interface.h"

#include <QApplication>
#include <cstdlib>

#include "app/app_settings.h"
#include "support/log.h"
#include "ui/qt/no_tray_notice.h"
#include "ui/qt/tray.h"
#include "ui/qt/tray_host_watcher.h"
#include "ui/status_view_model.h"
#include "ui/tray_presence.h"
#include "ui/qt/tray_icons.h"
#include "ui/qt/window_shelf.h"

namespace vigilo {

namespace {

Logger log_{"Tray"};

}  // namespace

QtUserInterface::QtUserInterface(const std::vector<std::string>& arguments)
    : argumentTexts_(arguments.empty() ? std::vector<std::string>{"vigilo-app"} : arguments) {
    for (auto& text : argumentTexts_) argv_.push_back(text.data());
    argv_.push_back(nullptr);
    argc_ = static_cast<int>(argumentTexts_.size());
    application_ = std::make_unique<QApplication>(argc_, argv_.data());
    QApplication::setApplicationName(QStringLiteral("Vigilo"));
    QApplication::setDesktopFileName(QStringLiteral("com.vigilo.app"));
    // Windows come and go; the application lives in the tray.
    QApplication::setQuitOnLastWindowClosed(false);
    chooseIconThemes();
    loop_ = std::make_unique<QtLoop>();
}

QtUserInterface::~QtUserInterface() {
    hideTray();
    loop_.reset();
}

// The icon waits for a panel's tray host, which a login often starts after
// its autostart programs; until one comes, the status window is the way in.
bool QtUserInterface::showTray(const TrayServices& services) {
    windows_ = std::make_unique<WindowShelf>(services, *loop_);
    tray_ = std::make_unique<Tray>(services, *loop_, *windows_, [this] { loop_->quit(0); });
    windows_->setQuit([this] { tray_->quitGuarded(); });
    presence_ = std::make_unique<TrayPresence>(
        *loop_, TrayPresence::Hooks{.makeIcon = [this] { tray_->makeIcon(); },
                                    .dropIcon = [this] { tray_->dropIcon(); },
                                    .noHost = [this] { noTrayHost(); }});
    hostWatcher_ = std::make_unique<TrayHostWatcher>([this](bool present, bool replaced) {
        if (present && replaced) {
            presence_->hostReplaced();
        } else {
            presence_->hostChanged(present);
        }
    });
    const bool hostPresent = TrayHostWatcher::presentNow();
    presence_->start(hostPresent);
    // Until it has been finished once, the onboarding greets every start.
    if (!services.settings.hasCompletedOnboarding.get()) {
        loop_->post([this] {
            if (windows_) windows_->showOnboarding();
        });
    }
    return hostPresent;
}

// Once per login, so a desktop without a tray does not get a window at every
// start; the portal is asked once per run.
void QtUserInterface::noTrayHost() {
    // An X11 tray that came meanwhile says nothing on the bus.
    if (xembedTrayPresent()) return presence_->hostChanged(true);
    if (std::exchange(noticeGiven_, true)) return;
    log_.info("No tray host has appeared; Vigilo runs on without an icon until one does");
    requestBackgroundFromPortal();
    if (!firstNoTrayNoticeThisLogin(::getenv("XDG_RUNTIME_DIR"))) return;
    windows_->setStatusNotice(noTrayNotice(onGnome(::getenv("XDG_CURRENT_DESKTOP"))));
    windows_->showStatus();
}

void QtUserInterface::showDashboard() {
    if (windows_) windows_->showDashboard();
}

void QtUserInterface::showStatus() {
    if (windows_) windows_->showStatus();
}

void QtUserInterface::hideTray() {
    hostWatcher_.reset();
    presence_.reset();
    tray_.reset();
    windows_.reset();
}

}  // namespace vigilo
