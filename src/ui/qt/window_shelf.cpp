#include "ui/qt/window_shelf.h"

#include "alerts/watchdog.h"
#include "app/app_state.h"
#include "detection/process_watcher.h"
#include "safety/battery_monitor.h"
#include "safety/cooling_manager.h"
#include "safety/thermal_monitor.h"
#include "support/tr.h"
#include "ui/qt/state_pages.h"
#include "ui/qt/state_window.h"

namespace vigilo {

namespace {

// Both windows redraw on these, besides their clock.
std::vector<Handle> followState(const TrayServices& s, StateWindow& window) {
    auto redraw = [&window](const auto&) {
        if (window.isVisible()) window.redraw();
    };
    std::vector<Handle> handles;
    handles.push_back(s.state.mode.subscribe(redraw));
    handles.push_back(s.state.assertionActive.subscribe(redraw));
    handles.push_back(s.state.clamshellActive.subscribe(redraw));
    handles.push_back(s.battery.snapshot().subscribe(redraw));
    handles.push_back(s.thermal.level().subscribe(redraw));
    handles.push_back(s.cooling.temperature().subscribe(redraw));
    handles.push_back(s.watcher.matches.subscribe(redraw));
    handles.push_back(s.watchdog.recentAlerts.subscribe(redraw));
    return handles;
}

}  // namespace

WindowShelf::WindowShelf(const TrayServices& services, Loop& loop) : services_(services), loop_(loop) {}

WindowShelf::~WindowShelf() = default;

StateWindow& WindowShelf::showStatus() {
    if (!status_) {
        status_ = std::make_unique<StateWindow>(
            QString::fromStdString(tr("Vigilo Status")), QSize(380, 440), loop_, std::chrono::seconds(1),
            [this] { return statusPage(services_, loop_.clock()); });
        status_->follow(followState(services_, *status_));
    }
    status_->present();
    return *status_;
}

StateWindow& WindowShelf::showDashboard() {
    if (!dashboard_) {
        dashboard_ = std::make_unique<StateWindow>(
            QString::fromStdString(tr("Vigilo Dashboard")), QSize(480, 540), loop_, std::chrono::seconds(2),
            [this] { return dashboardPage(services_, loop_.clock()); });
        dashboard_->follow(followState(services_, *dashboard_));
    }
    dashboard_->present();
    return *dashboard_;
}

}  // namespace vigilo
