#pragma once

#include "ui/dashboard_view_model.h"
#include "ui/qt/state_window.h"

namespace vigilo {

// The dashboard's contents, drawn from its view.
StatePage dashboardPage(const DashboardView& view);

}  // namespace vigilo
