// The /proc/<pid>/cmdline reader: every process writes its own arguments,
// so any user controls these bytes.

#include "fuzz_support.h"
#include "platform/linux/proc/proc_cmdline.h"
#include "support/utf8_text.h"

using namespace vigilo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string joined = joinProcCmdline(fuzz::textOf(data, size));
    fuzz::require(isValidUtf8(joined), "the command line is valid UTF-8");
    fuzz::require(joined.find('\0') == std::string::npos, "the command line holds no NUL");
    return 0;
}
