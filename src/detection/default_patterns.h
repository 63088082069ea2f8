#pragma once

#include <string>
#include <vector>

namespace vigilo {

// The watch patterns Auto Mode looks for out of the box, in the order the
// settings list them (AI agents, model servers, Python tooling, JavaScript
// tooling, compilers and build tools, containers).
const std::vector<std::string>& defaultWatchPatterns();

}  // namespace vigilo
