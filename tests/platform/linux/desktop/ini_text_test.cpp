#include "platform/linux/desktop/ini_text.h"

#include <gtest/gtest.h>

#include <string>

namespace vigilo {
namespace {

constexpr const char* kAc = "[AC][SuspendAndShutdown]";

// Setting "LidAction" to 0 gives `changed`; putting the old value back (or
// removing the key when there was none) gives back `before` byte for byte.
struct RoundTrip {
    const char* name;
    std::string before;
    std::string changed;
};

TEST(IniText, SetThenRestoreGivesBackTheSameBytes) {
    const RoundTrip cases[] = {
        {"existing value keeps its spacing and the lines around it",
         "# mine\n[AC][SuspendAndShutdown]\nLidAction = 1 \nPowerButtonAction=16\n",
         "# mine\n[AC][SuspendAndShutdown]\nLidAction = 0 \nPowerButtonAction=16\n"},
        {"missing key goes after the group's last entry, other groups untouched",
         "[AC][SuspendAndShutdown]\nAutoSuspendAction=1\n\n[Battery][SuspendAndShutdown]\nLidAction=1\n",
         "[AC][SuspendAndShutdown]\nAutoSuspendAction=1\nLidAction=0\n\n[Battery][SuspendAndShutdown]\nLidAction=1\n"},
        {"missing group is appended", "[General]\n# note\npausePlayersOnSuspend=false\n",
         "[General]\n# note\npausePlayersOnSuspend=false\n\n[AC][SuspendAndShutdown]\nLidAction=0\n"},
        {"empty file", "", "[AC][SuspendAndShutdown]\nLidAction=0\n"},
        {"no final line break", "[AC][SuspendAndShutdown]\nLidAction=2", "[AC][SuspendAndShutdown]\nLidAction=0"},
        {"CRLF lines", "[AC][SuspendAndShutdown]\r\nLidAction=1\r\n", "[AC][SuspendAndShutdown]\r\nLidAction=0\r\n"},
        {"localised and flagged keys are other keys", "[AC][SuspendAndShutdown]\nLidAction[de]=1\n",
         "[AC][SuspendAndShutdown]\nLidAction[de]=1\nLidAction=0\n"},
    };
    for (const auto& c : cases) {
        IniText text(c.before);
        const auto previous = text.value(kAc, "LidAction");
        text.set(kAc, "LidAction", "0");
        EXPECT_EQ(text.text(), c.changed) << c.name;
        EXPECT_EQ(text.value(kAc, "LidAction"), "0") << c.name;

        IniText back(text.text());
        if (previous)
            back.set(kAc, "LidAction", *previous);
        else
            back.remove(kAc, "LidAction");
        EXPECT_EQ(back.text(), c.before) << c.name;
    }
}

TEST(IniText, RemovingTheLastEntryDropsTheGroupOnlyWhenNothingElseIsInIt) {
    const struct {
        std::string before;
        std::string after;
    } cases[] = {
        // As KDE rewrites a file: groups sorted, our group in the middle.
        {"[AC][Display]\nx=1\n\n[AC][SuspendAndShutdown]\nLidAction=0\n\n[Battery]\ny=2\n",
         "[AC][Display]\nx=1\n\n[Battery]\ny=2\n"},
        {"[AC][SuspendAndShutdown]\n# mine\nLidAction=0\n", "[AC][SuspendAndShutdown]\n# mine\n"},
    };
    for (const auto& c : cases) {
        IniText text(c.before);
        text.remove(kAc, "LidAction");
        EXPECT_EQ(text.text(), c.after) << c.before;
    }
}

}  // namespace
}  // namespace vigilo
