#pragma once

#include <string>

namespace vigilo {

inline constexpr const char* kCliVersion = "1.0.0";

// The command line's help, without the final newline.
std::string cliHelpText();

}  // namespace vigilo
