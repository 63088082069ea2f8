#include "platform/linux/dbus/shortcuts_service.h"

#include <gtest/gtest.h>

namespace vigilo {
namespace {

TEST(ShortcutsServiceTest, OnlyTheOwnerMayCall) {
    struct Case {
        std::optional<uid_t> caller;
        bool allowed;
    };
    for (const Case& c : {Case{1000, true}, Case{1001, false}, Case{0, false}, Case{std::nullopt, false}}) {
        EXPECT_EQ(shortcutCallerAllowed(c.caller, 1000), c.allowed) << c.caller.value_or(99999);
    }
}

}  // namespace
}  // namespace vigilo
