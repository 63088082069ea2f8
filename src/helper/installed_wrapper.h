#pragma once

#include <string_view>

namespace vigilo {

// Whether `script` is a `vigilo` command Vigilo wrote: a shell line,
// comment lines one of which names Vigilo, then either the body
// cliWrapperBody() makes for the vigilo-app it names, or an earlier
// version's one line that execs a vigilo-app with --cli and every argument.
// So an update that rewords the comment, or ends the file with a newline,
// still knows its predecessor's wrapper. Anything else, a person's own
// script or ours with one more command, is not.
bool isVigiloCliWrapper(std::string_view script);

}  // namespace vigilo
