#include "app/shortcut_actions.h"

#include <gtest/gtest.h>

namespace vigilo {
namespace {

// Before the controller exists (or after it is gone) every action is harmless.
TEST(ShortcutActionsTest, WithoutAControllerNothingHappens) {
    ShortcutActions actions;
    actions.startKeepAwake();
    actions.stopKeepAwake();
    actions.toggleAIWorkloadMode();
    EXPECT_FALSE(actions.openDashboard());
    EXPECT_EQ(actions.status(), "Vigilo isn't running.");

    int shown = 0;
    actions.setShowDashboard([&] { ++shown; });
    EXPECT_TRUE(actions.openDashboard());
    EXPECT_EQ(shown, 1);
}

}  // namespace
}  // namespace vigilo
