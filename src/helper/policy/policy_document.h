#pragma once

#include <string>
#include <string_view>

namespace vigilo {

// The polkit policy of the privileged helper installed at `helperPath`: one
// action per verb of platform/helper_verbs.h, each bound to the helper's
// path and to its verb as argv[1], so that pkexec decides every run under
// the verb's own action, in whatever order polkitd lists them.
std::string polkitPolicyDocument(std::string_view helperPath);

}  // namespace vigilo
