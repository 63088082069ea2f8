#include "main/user_interface_module.h"

#include "platform/linux/loaded_module.h"
#include "support/log.h"

namespace vigilo {

std::unique_ptr<UserInterface> openUserInterface(const std::vector<std::string>& arguments) {
    // Kept for the life of the process: the interface's code lives in it.
    static const LoadedModule module(kUiModuleFile, "AppState");
    auto open = module.symbol<VigiloOpenUserInterface>(kOpenUserInterfaceSymbol);
    if (!open) return nullptr;
    std::unique_ptr<UserInterface> ui(open(&arguments));
    if (!ui) Logger("AppState").info("The display cannot be reached");
    return ui;
}

}  // namespace vigilo
