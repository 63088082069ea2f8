#pragma once

#include "main/ui_module_abi.h"
#include "ui/qt/state_window.h"

namespace vigilo {

// The status window's and the dashboard's contents from the live state.
StatePage statusPage(const TrayServices& services, const Clock& clock);
StatePage dashboardPage(const TrayServices& services, const Clock& clock);

}  // namespace vigilo
