#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "main/ui_module_abi.h"
#include "support/handle.h"
#include "support/loop.h"
#include "ui/status_view_model.h"
#include "ui/tray_actions.h"

class QBoxLayout;
class QGridLayout;
class QLabel;
class QPushButton;

namespace vigilo {

// The status window: a compact card over the live state, with the actions
// the tray menu offers for the mode and a way to quit, so it is a way in of
// its own where the desktop shows no tray. Sized to its content; redrawn on
// every change and every second while shown; kept when closed.
class StatusCard final : public QWidget {
public:
    // `quit` ends the application as the tray menu's entry does; `notice`
    // is read at every redraw: the line under the state, if any.
    using Notice = std::function<std::optional<std::string>()>;
    StatusCard(const TrayServices& services, Loop& loop, std::function<void()> quit, Notice notice);

    void redraw();
    void present();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* header();
    QWidget* readings();
    void drawWorkloads(const std::vector<StatusWorkload>& workloads);
    void drawActions(const std::vector<MenuItem>& actions);

    AppState& state_;
    Loop& loop_;
    TrayActions actions_;
    std::function<void()> quit_;
    Notice notice_;
    std::optional<std::string> loggedNotice_;  // so the log has each notice once, not every second
    QLabel* icon_;
    QLabel* mode_;
    QLabel* notice_line_;
    QLabel* time_;
    QLabel* timeCaption_;
    QGridLayout* workloads_;
    QLabel* batteryIcon_;
    QLabel* battery_;
    QLabel* temperature_;
    QBoxLayout* actionRow_;
    std::vector<QPushButton*> actionButtons_;
    std::vector<MenuItem> shownActions_;
    std::vector<StatusWorkload> shownWorkloads_;
    std::vector<Handle> subscriptions_;
    Handle redrawTimer_;
    InhibitorWatch* inhibitors_ = nullptr;  // what else keeps the computer awake, when the application follows it
    Handle followInhibitors_;
};

}  // namespace vigilo
