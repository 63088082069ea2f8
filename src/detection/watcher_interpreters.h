#pragma once

#include <string>
#include <unordered_set>

namespace vigilo {

// Interpreters whose command lines the watcher looks into, because the
// program they run (a script, an agent written in JavaScript) does not show
// in their short name. Lower-case; compare exactly, after lower-casing.
// Built once, shared for the life of the program, safe on any thread.
const std::unordered_set<std::string>& watcherInterpreters();

}  // namespace vigilo
