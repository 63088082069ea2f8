#pragma once

#include <string>

#include "support/clock.h"

namespace vigilo {

// How long ago `then` was, in words, by its largest whole unit: "now",
// "five minutes ago", "one day ago"; "in two hours" when `then` lies ahead
// (a clock set back). Numbers up to 999 are spelled out.
std::string spelledOutRelativeTime(WallTime then, WallTime now);

}  // namespace vigilo
