#include "ui/qt/window_shelf.h"

#include "app/app_state.h"
#include "cli/command_runner.h"
#include "safety/cooling_manager.h"
#include "support/tr.h"
#include "ui/qt/state_pages.h"
#include "ui/qt/state_window.h"

namespace vigilo {

namespace {

// Both windows redraw on these, besides their clock.
std::vector<Handle> followState(AppState& state, StateWindow& window) {
    auto redraw = [&window](const auto&) {
        if (window.isVisible()) window.redraw();
    };
    std::vector<Handle> handles;
    handles.push_back(state.mode.subscribe(redraw));
    handles.push_back(state.assertionActive.subscribe(redraw));
    handles.push_back(state.clamshellActive.subscribe(redraw));
    handles.push_back(state.lastUserMessage.subscribe(redraw));
    handles.push_back(state.battery().snapshot().subscribe(redraw));
    handles.push_back(state.thermal().level().subscribe(redraw));
    handles.push_back(state.cooling().temperature().subscribe(redraw));
    handles.push_back(state.watcher().matches.subscribe(redraw));
    handles.push_back(state.watchdog().recentAlerts.subscribe(redraw));
    return handles;
}

}  // namespace

WindowShelf::WindowShelf(const TrayServices& services, Loop& loop) : services_(services), loop_(loop) {}

WindowShelf::~WindowShelf() = default;

StateWindow& WindowShelf::showStatus() {
    if (!status_) {
        status_ = std::make_unique<StateWindow>(
            QString::fromStdString(tr(kStatusWindowTitle)), QSize(kStatusWindowWidth, kStatusWindowHeight), loop_,
            std::chrono::seconds(1), [this] { return statusPage(buildStatusView(gatherStateFacts(services_.state))); });
        status_->follow(followState(services_.state, *status_));
    }
    status_->present();
    return *status_;
}

StateWindow& WindowShelf::showDashboard() {
    if (!dashboard_) {
        dashboard_ = std::make_unique<StateWindow>(
            QString::fromStdString(tr(kDashboardWindowTitle)), QSize(kDashboardWindowWidth, kDashboardWindowHeight),
            loop_, std::chrono::seconds(2),
            [this] { return dashboardPage(buildDashboardView(gatherStateFacts(services_.state))); });
        dashboard_->follow(followState(services_.state, *dashboard_));
    }
    dashboard_->present();
    return *dashboard_;
}

}  // namespace vigilo
