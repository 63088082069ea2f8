// The /proc/<pid>/stat parser. The name field in it is whatever the process
// called itself, so any user can put parentheses, spaces and numbers there.

#include "fuzz_support.h"
#include "platform/linux/proc/proc_stat.h"

using namespace vigilo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::textOf(data, size);
    (void)parseProcStat(text, 100, 4096);
    // Units other kernels and architectures use.
    (void)parseProcStat(text, 1000, 65536);
    return 0;
}
