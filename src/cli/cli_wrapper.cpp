#include "cli/cli_wrapper.h"

namespace vigilo {

std::string shellSingleQuoted(std::string_view text) {
    // Inside single quotes only a single quote needs care: close the
    // string, add a double-quoted quote, reopen.
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\"'\"'";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string cliWrapperBody(std::string_view executable) {
    // printf, not echo: the path is printed as it is, whatever it holds.
    // "$0" is the path the shell found this script at.
    return "app=" + shellSingleQuoted(executable) +
           "\n"
           "if [ ! -e \"$app\" ]; then\n"
           "    printf 'Vigilo is no longer installed at %s; remove %s.\\n' \"$app\" \"$0\" >&2\n"
           "    exit 127\n"
           "fi\n"
           "exec \"$app\" --cli \"$@\"\n";
}

std::string cliWrapperScript(std::string_view executable) {
    return "#!/bin/sh\n"
           "# vigilo: the Vigilo command line, written by Vigilo's installer.\n" +
           cliWrapperBody(executable);
}

}  // namespace vigilo
