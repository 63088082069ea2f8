#include "main/user_interface_module.h"

#include "platform/linux/loaded_module.h"

namespace vigilo {

std::unique_ptr<UserInterface> openUserInterface(const std::vector<std::string>& arguments) {
    // Kept for the life of the process: the interface's code lives in it.
    static const LoadedModule module(kUiModuleFile, "AppState");
    auto open = module.symbol<VigiloOpenUserInterface>(kOpenUserInterfaceSymbol);
    if (!open) return nullptr;
    return std::unique_ptr<UserInterface>(open(&arguments));
}

}  // namespace vigilo
