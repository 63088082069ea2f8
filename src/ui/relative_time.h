#pragma once

#include <string>

#include "support/clock.h"

namespace vigilo {

// How long ago `then` was, seen from `now`, spelled out in the largest whole
// unit: "now", "5 minutes ago", "yesterday", "last week", "3 months ago";
// a time ahead of `now` reads "in 2 hours", "tomorrow".
std::string relativeTimeText(WallTime then, WallTime now);

}  // namespace vigilo
