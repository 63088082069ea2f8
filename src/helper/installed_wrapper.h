#pragma once

#include <string_view>

namespace vigilo {

// Whether `script` is a `vigilo` command Vigilo wrote: the text
// cliWrapperScript() makes for the program it names, or that text's form
// from another version (a shell line, comment lines one of which names
// Vigilo, and one line that execs a vigilo-app with --cli and every
// argument), so that an update that rewords the comment or ends the file
// with a newline still knows its predecessor's wrapper. Anything else, a
// person's own script included, is not.
bool isVigiloCliWrapper(std::string_view script);

}  // namespace vigilo
