#pragma once

#include <string>

#include "platform/child_process_launcher.h"
#include "platform/linux/login_shell_launcher.h"

namespace vigilo {

// Spawns the login shell with posix_spawn; the exit is observed through a
// pidfd. The child starts with no signals blocked and default dispositions,
// whatever the daemon has blocked for its own signal handling, in a process
// group of its own, and with only descriptors 0, 1 and 2 open.
class LoginShellChildLauncher final : public ChildProcessLauncher {
public:
    explicit LoginShellChildLauncher(std::string shell = loginShellPath()) : shell_(std::move(shell)) {}
    std::variant<std::unique_ptr<ChildProcess>, std::string> start(const std::string& commandText) override;

private:
    std::string shell_;
};

}  // namespace vigilo
