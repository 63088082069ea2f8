#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace vigilo {

// Whether polkit may show its password prompt while it answers.
enum class PolkitQuestion { withoutAsking, mayAsk };

// Asks polkit (org.freedesktop.PolicyKit1.Authority.CheckAuthorization on the
// system bus) whether this process may carry out `action`. Without asking,
// only an administrator's rule or an authorisation the person gave a moment
// ago that polkit still keeps counts, and no prompt is ever shown. The
// subject is this process (pid, start time and uid), as pkexec names its
// caller, so an authorisation the person gives here is the one pkexec finds.
//
// Returns the answer, or nullopt with `why` set when polkit could not be
// asked. Opens a connection of its own, so any thread may call it; blocks
// for at most `timeout`.
std::optional<bool> polkitAuthorizes(const char* action, PolkitQuestion question, std::chrono::milliseconds timeout,
                                     std::string& why);

}  // namespace vigilo
