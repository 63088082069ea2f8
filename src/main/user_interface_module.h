#pragma once

#include <memory>
#include <string>
#include <vector>

#include "main/ui_module_abi.h"

namespace vigilo {

// Loads libvigilo-ui.so and opens the tray role's interface; nullptr, with
// one log line, when the module or its toolkit is missing or no display can
// be reached: the application then runs as the daemon.
std::unique_ptr<UserInterface> openUserInterface(const std::vector<std::string>& arguments);

}  // namespace vigilo
