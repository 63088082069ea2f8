// The entry point of libvigilo-ui.so.
#include "main/ui_module_abi.h"
#include "ui/qt/display_probe.h"
#include "ui/qt/qt_user_interface.h"

extern "C" {

__attribute__((visibility("default"))) vigilo::UserInterface* vigilo_ui_open(
    const std::vector<std::string>* arguments) {
    const auto probe = vigilo::DisplayProbe::connect();
    if (!probe) return nullptr;
    return new vigilo::QtUserInterface(*arguments);
}

}  // extern "C"
