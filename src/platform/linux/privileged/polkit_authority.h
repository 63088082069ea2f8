#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace vigilo {

// Asks polkit (org.freedesktop.PolicyKit1.Authority.CheckAuthorization on the
// system bus) whether this process may carry out `action` without anyone
// being asked: an administrator's rule, or an authorisation the person gave
// a moment ago that polkit still keeps. No prompt is ever shown. The subject
// is this process (pid, start time and uid), as pkexec names its caller.
//
// Returns the answer, or nullopt with `why` set when polkit could not be
// asked. Opens a connection of its own, so any thread may call it; blocks
// for at most `timeout`.
std::optional<bool> polkitAllowsWithoutAsking(const char* action, std::chrono::milliseconds timeout,
                                              std::string& why);

}  // namespace vigilo
