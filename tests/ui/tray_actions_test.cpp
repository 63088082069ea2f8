#include "ui/tray_actions.h"

#include <gtest/gtest.h>

#include "app/app_state_fixture.h"
#include "common/log_capture.h"
#include "platform/login_item.h"
#include "ui/launch_at_login_manager.h"

namespace vigilo::testing {
namespace {

struct FakeLoginItem final : LoginItem {
    bool enabled = false;
    std::optional<std::string> refusal;
    int changes = 0;
    bool isEnabled() override { return enabled; }
    std::optional<std::string> enable() override { return change(true); }
    std::optional<std::string> disable() override { return change(false); }
    std::optional<std::string> change(bool to) {
        ++changes;
        if (refusal) return refusal;
        enabled = to;
        return std::nullopt;
    }
};

class TrayActionsTest : public AppStateTest {
protected:
    static const MenuItem* search(const std::vector<MenuItem>& items, const std::string& text) {
        for (const auto& item : items) {
            if (item.text == text) return &item;
            if (auto* found = search(item.children, text)) return found;
        }
        return nullptr;
    }
    const MenuItem& find(const std::vector<MenuItem>& items, const std::string& text) {
        static const MenuItem none;
        const MenuItem* found = search(items, text);
        if (!found) ADD_FAILURE() << "no entry " << text;
        return found ? *found : none;
    }
    // Chooses an entry of the menu as it is built now.
    bool choose(const std::string& text) {
        shown = buildTrayMenu(gatherStateFacts(state()));
        return actions.perform(find(shown, text));
    }

    FakeLoginItem loginItem;
    LaunchAtLoginManager launchAtLogin{loginItem};
    TrayActions actions{state(), loop, launchAtLogin};
    std::vector<MenuItem> shown;
};

TEST_F(TrayActionsTest, EntriesDriveTheControllerAndTheMenuFollows) {
    EXPECT_TRUE(choose("Keep Awake"));
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::off)) << "deferred until the menu has closed";
    loop.runUntilIdle();
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::on));

    EXPECT_TRUE(choose("Stop"));
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::off));

    EXPECT_TRUE(choose("2 hours"));
    loop.runUntilIdle();
    EXPECT_EQ(state().timerExpiresAt.get(), loop.clock().wallNow() + std::chrono::hours(2));

    EXPECT_TRUE(choose("Also Prevent Display Sleep"));
    EXPECT_TRUE(settings.preventDisplaySleep.get());
    EXPECT_FALSE(choose("Dashboard\u2026")) << "a window is the view's";
}

TEST_F(TrayActionsTest, LaunchAtLoginKeepsSettingAndItemInStep) {
    EXPECT_TRUE(choose("Launch at Login"));
    EXPECT_TRUE(loginItem.enabled);
    EXPECT_TRUE(settings.launchAtLogin.get());
    EXPECT_EQ(loginItem.changes, 1) << "the setting's write finds the item already on";

    LogCapture log;
    loginItem.refusal = "Permission denied";
    EXPECT_TRUE(choose("Launch at Login"));
    EXPECT_TRUE(loginItem.enabled);
    EXPECT_TRUE(settings.launchAtLogin.get());
    shown = buildTrayMenu(gatherStateFacts(state()));
    EXPECT_TRUE(find(shown, "Launch at Login").checked);
    EXPECT_TRUE(log.contains("LaunchAtLogin: error: LaunchAtLogin toggle failed: Permission denied"));

    loginItem.refusal.reset();
    loginItem.enabled = false;  // switched off outside the application
    LaunchAtLoginManager again{loginItem};
    auto following = again.follow(settings.launchAtLogin);
    EXPECT_FALSE(settings.launchAtLogin.get());
}

}  // namespace
}  // namespace vigilo::testing
