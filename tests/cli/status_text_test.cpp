#include "cli/status_text.h"

#include <gtest/gtest.h>

namespace vigilo {
namespace {

// The command as a task's line shows it.
TEST(ShownCommand, DropsTheNamedProgramKeepsOneLineAndCutsAtSixtyCharacters) {
    const std::string sixty(60, 'x');
    auto repeated = [](const std::string& text, int times) {
        std::string out;
        for (int i = 0; i < times; ++i) out += text;
        return out;
    };
    const struct {
        const char* name;
        std::string commandLine;
        std::string shown;
    } cases[] = {
        {"python3", "python3 train.py", "train.py"},
        {"python3", "/usr/bin/python3 train.py", "train.py"},
        {"Python3", "/opt/PYTHON3 a", "a"},
        {"claude", "node /usr/lib/claude/cli.js", "node /usr/lib/claude/cli.js"},  // the program says more
        {"ollama", "ollama", ""},
        {"ollama", "", ""},
        {"python3", "python3 -c print(1)\nprint(2)\t", "-c print(1) print(2)"},
        {"python3", "python3 " + sixty, sixty},
        {"python3", "python3 " + sixty + "y", std::string(59, 'x') + "\u2026"},
        // Characters, not bytes: 61 two-byte ones are cut to 59 and the ellipsis.
        {"python3", "python3 " + repeated("\u00e9", 61), repeated("\u00e9", 59) + "\u2026"},
        {"python3", "python3 bad\xff byte", "bad\ufffd byte"},
    };
    for (const auto& c : cases) EXPECT_EQ(shownCommand(c.name, c.commandLine), c.shown) << c.commandLine;
}

}  // namespace
}  // namespace vigilo
