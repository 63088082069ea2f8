#pragma once

#include "platform/confirmation_dialog.h"
#include "support/log.h"

namespace vigilo {

// The daemon has nobody to ask: the user asked from a terminal, so it goes
// ahead and leaves the warning in the log.
class HeadlessConfirmation final : public ConfirmationDialog {
public:
    bool confirm(const std::string& message, const std::string& informativeText, const std::string&,
                 const std::string&) override {
        log_.info("{}: {}", message, informativeText);
        return true;
    }

private:
    Logger log_{"AppState"};
};

}  // namespace vigilo
