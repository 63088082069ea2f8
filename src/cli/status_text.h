#pragma once

#include <string>

#include "ipc/ipc_messages.h"

namespace vigilo {

// What `vigilo status` prints for the application's status reply: labelled
// lines, those the reply leaves out omitted; "Load:" with each task's CPU
// and GPU use where measured; and under "Tasks:" one line per task with its
// pid and command line, so tasks of one name can be told apart:
//   Load:       python3 (CPU 42%, GPU 80%), python3 (CPU 0%)
//   Tasks:      python3, python3
//     python3 (pid 4121) train.py --epochs 100 — busy
//     python3 (pid 4188) serve.py — idle 40 s
std::string statusText(const IPCResponse& reply);

// A task's command line as its line shows it: without the program when the
// name already says it ("python3 train.py" under python3 is "train.py"),
// control characters as spaces, and at most kMaxShownCommandCharacters
// characters, the last an ellipsis when cut.
inline constexpr std::size_t kMaxShownCommandCharacters = 60;
std::string shownCommand(const std::string& name, const std::string& commandLine);

}  // namespace vigilo
