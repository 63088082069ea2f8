#pragma once

#include "ui/dashboard_view_model.h"
#include "ui/qt/state_window.h"
#include "ui/status_view_model.h"

namespace vigilo {

// The status window's and the dashboard's contents, drawn from their views.
StatePage statusPage(const StatusView& view);
StatePage dashboardPage(const DashboardView& view);

}  // namespace vigilo
