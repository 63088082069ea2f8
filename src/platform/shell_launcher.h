#pragma once

#include <string>

namespace vigilo {

struct ShellRunResult {
    bool started = false;
    int exitStatus = 0;       // the exit code, or 128 + the signal number
    std::string startError;   // the system's description when not started
};

// Runs a command text through the user's login shell, with this process's
// standard streams, environment and working directory, and waits for it.
class ShellLauncher {
public:
    virtual ~ShellLauncher() = default;
    virtual ShellRunResult runAndWait(const std::string& commandText) = 0;
};

}  // namespace vigilo
