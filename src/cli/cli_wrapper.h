#pragma once

#include <string>
#include <string_view>

namespace vigilo {

// The script installed as the `vigilo` command: it runs the application
// executable with --cli and passes every argument on unchanged. Once the
// executable is gone (the package removed) it says so, names itself for
// removal and exits 127, the shell's "command not found".
std::string cliWrapperScript(std::string_view executable);

// The part of the script after its shell line and comments, which decides
// what it runs: the recognition of an installed wrapper compares it whole.
std::string cliWrapperBody(std::string_view executable);

// `text` as one single-quoted shell word, safe for any byte but NUL.
std::string shellSingleQuoted(std::string_view text);

}  // namespace vigilo
