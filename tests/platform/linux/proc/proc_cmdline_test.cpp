#include "platform/linux/proc/proc_cmdline.h"

#include <gtest/gtest.h>

#include <string>

namespace vigilo {
namespace {

TEST(ProcCmdline, JoinsNonEmptyArgumentsAsValidUtf8) {
    const struct {
        std::string bytes;
        std::string joined;
    } cases[] = {
        {std::string("python3\0\0train.py\0", 18), "python3 train.py"},
        {std::string("node\0my script.js\0--x", 22), "node my script.js --x"},  // no final NUL
        {std::string("perl\0caf\xE9\0", 10), "perl caf\xEF\xBF\xBD"},
        {std::string("\0\0", 2), ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(joinProcCmdline(c.bytes), c.joined) << c.joined;
}

}  // namespace
}  // namespace vigilo
