#pragma once

#include <memory>
#include <string>
#include <variant>

#include "platform/child_process.h"

namespace vigilo {

// Starts `<login shell> -l -c <text>` with the application's environment and
// working directory, standard input from /dev/null, standard output and
// error into one pipe, and no other descriptor of this process.
class ChildProcessLauncher {
public:
    virtual ~ChildProcessLauncher() = default;

    // The running child, or the system's description of why it could not be
    // started.
    virtual std::variant<std::unique_ptr<ChildProcess>, std::string> start(const std::string& commandText) = 0;
};

}  // namespace vigilo
