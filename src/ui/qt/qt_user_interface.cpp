#include "ui/qt/qt_user_interface.h"

#include <QApplication>
#include <QSystemTrayIcon>

#include "app/app_settings.h"
#include "ui/qt/tray.h"
#include "ui/qt/tray_icons.h"
#include "ui/qt/window_shelf.h"

namespace vigilo {

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
    addBuildTreeIcons();
    loop_ = std::make_unique<QtLoop>();
}

QtUserInterface::~QtUserInterface() {
    hideTray();
    loop_.reset();
}

bool QtUserInterface::showTray(const TrayServices& services) {
    // Without a tray host a second launch still asks for the status window.
    windows_ = std::make_unique<WindowShelf>(services, *loop_);
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
    tray_ = std::make_unique<Tray>(services, *loop_, *windows_, [this] { loop_->quit(0); });
    // Until it has been finished once, the onboarding greets every start.
    if (!services.settings.hasCompletedOnboarding.get()) {
        loop_->post([this] {
            if (windows_) windows_->showOnboarding();
        });
    }
    return true;
}

void QtUserInterface::showDashboard() {
    if (windows_) windows_->showDashboard();
}

void QtUserInterface::showStatus() {
    if (windows_) windows_->showStatus();
}

void QtUserInterface::hideTray() {
    tray_.reset();
    windows_.reset();
}

}  // namespace vigilo
