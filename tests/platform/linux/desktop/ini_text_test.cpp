#include "platform/linux/desktop/ini_text.h"

#include <gtest/gtest.h>

#include <string>

namespace vigilo {
namespace {

constexpr const char* kAc = "[AC][SuspendAndShutdown]";

// Setting "LidAction" to 0 gives `changed`; undoing it with what set() said
// and what lines() kept gives back `before` byte for byte.
struct RoundTrip {
    const char* name;
    std::string before;
    std::string changed;
};

TEST(IniText, SetThenUndoGivesBackTheSameBytes) {
    const RoundTrip cases[] = {
        {"existing value keeps its spacing and the lines around it",
         "# mine\n[AC][SuspendAndShutdown]\nLidAction = 1 \nPowerButtonAction=16\n",
         "# mine\n[AC][SuspendAndShutdown]\nLidAction = 0 \nPowerButtonAction=16\n"},
        {"missing key goes after the group's last entry, other groups untouched",
         "[AC][SuspendAndShutdown]\nAutoSuspendAction=1\n\n[Battery][SuspendAndShutdown]\nLidAction=1\n",
         "[AC][SuspendAndShutdown]\nAutoSuspendAction=1\nLidAction=0\n\n[Battery][SuspendAndShutdown]\nLidAction=1\n"},
        {"empty group keeps its header", "[AC][SuspendAndShutdown]\n\n[General]\nx=1\n",
         "[AC][SuspendAndShutdown]\nLidAction=0\n\n[General]\nx=1\n"},
        {"missing group is appended", "[General]\n# note\npausePlayersOnSuspend=false\n",
         "[General]\n# note\npausePlayersOnSuspend=false\n\n[AC][SuspendAndShutdown]\nLidAction=0\n"},
        {"missing group after blank lines", "[General]\nx=1\n\n \n", "[General]\nx=1\n\n \n[AC][SuspendAndShutdown]\nLidAction=0\n"},
        {"missing group after a last line without a line break", "[General]\nx=1",
         "[General]\nx=1\n\n[AC][SuspendAndShutdown]\nLidAction=0\n"},
        {"missing group after a blank last line without a line break", "[General]\n\t",
         "[General]\n\t\n[AC][SuspendAndShutdown]\nLidAction=0\n"},
        {"empty file", "", "[AC][SuspendAndShutdown]\nLidAction=0\n"},
        {"only a line break", "\n", "\n[AC][SuspendAndShutdown]\nLidAction=0\n"},
        {"no final line break", "[AC][SuspendAndShutdown]\nLidAction=2", "[AC][SuspendAndShutdown]\nLidAction=0"},
        {"repeated keys, the group written twice",
         "[AC][SuspendAndShutdown]\nLidAction=1\nLidAction =2\n[AC][SuspendAndShutdown]\nLidAction= 32\n",
         "[AC][SuspendAndShutdown]\nLidAction=0\nLidAction =0\n[AC][SuspendAndShutdown]\nLidAction= 0\n"},
        {"CRLF lines and a carriage return inside a value", "[AC][SuspendAndShutdown]\r\nLidAction=1\r2\r\n",
         "[AC][SuspendAndShutdown]\r\nLidAction=0\r\n"},
        {"localised and flagged keys are other keys", "[AC][SuspendAndShutdown]\nLidAction[de]=1\n",
         "[AC][SuspendAndShutdown]\nLidAction[de]=1\nLidAction=0\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        IniText text(c.before);
        const auto previous = text.lines(kAc, "LidAction");
        const bool finalNewline = text.finalNewline();
        const auto added = text.set(kAc, "LidAction", "0");
        EXPECT_EQ(text.text(), c.changed);
        EXPECT_EQ(text.value(kAc, "LidAction"), "0");

        IniText back(text.text());
        if (!previous.empty()) {
            EXPECT_TRUE(back.replaceLines(kAc, "LidAction", previous));
        } else {
            back.remove(kAc, "LidAction");
            const bool addedGroup = added == IniText::Added::group || added == IniText::Added::groupAfterBlank;
            if (addedGroup && back.removeGroupIfEmpty(kAc, added == IniText::Added::groupAfterBlank))
                back.setFinalNewline(finalNewline);
        }
        EXPECT_EQ(back.text(), c.before);
    }
}

TEST(IniText, AGroupGoesOnlyWhenNothingButBlankLinesIsLeftInIt) {
    const struct {
        std::string before;
        std::string after;
        bool ranToEnd;
    } cases[] = {
        // As KDE rewrites a file: groups sorted, ours in the middle.
        {"[AC][Display]\nx=1\n\n[AC][SuspendAndShutdown]\nLidAction=0\n\n[Battery]\ny=2\n",
         "[AC][Display]\nx=1\n\n[Battery]\ny=2\n", false},
        {"[General]\nx=1\n\n[AC][SuspendAndShutdown]\nLidAction=0\n", "[General]\nx=1\n", true},
        {"[AC][SuspendAndShutdown]\n# mine\nLidAction=0\n", "[AC][SuspendAndShutdown]\n# mine\n", false},
    };
    for (const auto& c : cases) {
        IniText text(c.before);
        text.remove(kAc, "LidAction");
        EXPECT_EQ(text.removeGroupIfEmpty(kAc, true), c.ranToEnd) << c.before;
        EXPECT_EQ(text.text(), c.after) << c.before;
    }
    IniText mismatched("[AC][SuspendAndShutdown]\nLidAction=0\n");
    EXPECT_FALSE(mismatched.replaceLines(kAc, "LidAction", {"LidAction=1", "LidAction=2"}));
    EXPECT_EQ(mismatched.text(), "[AC][SuspendAndShutdown]\nLidAction=0\n");
}

}  // namespace
}  // namespace vigilo
