#pragma once

#include <string>
#include <vector>

namespace vigilo {

struct ShellRunResult {
    bool started = false;
    int exitStatus = 0;       // the exit code, or 128 + the signal number
    std::string startError;   // the system's description when not started
};

// Runs a command through the user's login shell, so that it sees the
// user's login profile and PATH, with this process's standard streams,
// environment and working directory, and waits for it.
class ShellLauncher {
public:
    virtual ~ShellLauncher() = default;
    // `text` in the shell's own syntax (pipes, `&&`, variables, globs).
    virtual ShellRunResult runText(const std::string& text) = 0;
    // `arguments` exactly as given, none split, expanded or dropped: the
    // first names the program, looked up on the login shell's PATH, which
    // replaces the shell, so the status is the program's own. Not empty.
    virtual ShellRunResult runArguments(const std::vector<std::string>& arguments) = 0;
};

}  // namespace vigilo
