#pragma once

#include <memory>
#include <string>
#include <vector>

#include "main/ui_module_abi.h"
#include "ui/qt/message_box_confirmation.h"
#include "ui/qt/qt_loop.h"

class QApplication;

namespace vigilo {

class Tray;
class TrayHostWatcher;
class TrayPresence;
class WindowShelf;

// The tray role on Qt: one QApplication, the loop on its event loop, the
// message-box confirmations, the tray and its windows.
class QtUserInterface final : public UserInterface {
public:
    explicit QtUserInterface(const std::vector<std::string>& arguments);
    ~QtUserInterface() override;

    ApplicationLoop& loop() override { return *loop_; }
    ConfirmationDialog& confirmation() override { return confirmation_; }
    bool showTray(const TrayServices& services) override;
    void hideTray() override;
    void showDashboard() override;
    void showStatus() override;

    Tray* tray() const { return tray_.get(); }
    WindowShelf* windows() const { return windows_.get(); }

private:
    void noTrayHost();

    // QApplication keeps references to these for its whole life.
    int argc_ = 0;
    std::vector<std::string> argumentTexts_;
    std::vector<char*> argv_;
    std::unique_ptr<QApplication> application_;
    std::unique_ptr<QtLoop> loop_;
    MessageBoxConfirmation confirmation_;
    std::unique_ptr<WindowShelf> windows_;
    std::unique_ptr<Tray> tray_;
    std::unique_ptr<TrayPresence> presence_;
    std::unique_ptr<TrayHostWatcher> hostWatcher_;
    bool noticeGiven_ = false;
};

}  // namespace vigilo
