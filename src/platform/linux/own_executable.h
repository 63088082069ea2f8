#pragma once

#include <string>

namespace vigilo {

// The path of the running executable, links resolved; the usual installed
// path when the system cannot tell.
std::string ownExecutablePath();

}  // namespace vigilo
