#pragma once

#include "platform/confirmation_dialog.h"

namespace vigilo {

// Confirmations as modal message boxes. The box runs a nested event loop;
// the application loop keeps its timers, buses and socket going meanwhile.
class MessageBoxConfirmation final : public ConfirmationDialog {
public:
    bool confirm(const std::string& message, const std::string& informativeText, const std::string& confirmButton,
                 const std::string& cancelButton) override;
};

}  // namespace vigilo
