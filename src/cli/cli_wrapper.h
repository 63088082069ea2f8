#pragma once

#include <string>
#include <string_view>

namespace vigilo {

// The three-line script installed as the `vigilo` command: it runs the
// application executable with --cli and passes every argument on unchanged.
std::string cliWrapperScript(std::string_view executable);

}  // namespace vigilo
