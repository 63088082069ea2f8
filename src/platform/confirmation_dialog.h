#pragma once

#include <string>

namespace vigilo {

// Asks the user to confirm something before it happens. Main thread only;
// may block until the user answers.
class ConfirmationDialog {
public:
    virtual ~ConfirmationDialog() = default;
    // True only when the user picks `confirmButton`.
    virtual bool confirm(const std::string& message, const std::string& informativeText,
                         const std::string& confirmButton, const std::string& cancelButton) = 0;
};

}  // namespace vigilo
