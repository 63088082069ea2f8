#include "ui/activity_view_model.h"

#include <gtest/gtest.h>

namespace vigilo {
namespace {

using namespace std::chrono_literals;

TEST(ActivityView, EmptyLogHasNothingToClear) {
    const ActivityView view = activityView({}, WallTime{});
    EXPECT_EQ(view.header, "0 events");
    EXPECT_FALSE(view.canClear);
    EXPECT_EQ(view.emptyText, "No activity yet.");
    EXPECT_TRUE(view.rows.empty());
}

TEST(ActivityView, RowsKeepTheLogsOrderWithTitlesTimesAndIcons) {
    const WallTime now{1'700'000'000s};
    const std::vector<ActivityEvent> events{
        {"A", now - 5min, ActivityKind::taskFinished, 3, "make"},
        {"B", now - 26h, ActivityKind::batteryWarn, 15, std::nullopt},
        {"C", now - 27h, ActivityKind::networkLost, std::nullopt, std::nullopt},
    };
    const ActivityView view = activityView(events, now);
    EXPECT_EQ(view.header, "3 events");
    EXPECT_TRUE(view.canClear);
    EXPECT_EQ(view.emptyText, "");
    ASSERT_EQ(view.rows.size(), 3u);
    EXPECT_EQ(view.rows[0].title, "Command finished (exit 3)");
    EXPECT_EQ(view.rows[0].when, "5 minutes ago");
    EXPECT_EQ(view.rows[0].iconName, "vigilo-terminal-symbolic");
    EXPECT_EQ(view.rows[1].title, "Battery low \u2014 15%");
    EXPECT_EQ(view.rows[1].when, "yesterday");
    EXPECT_EQ(view.rows[2].iconName, "network-wireless-offline-symbolic");
    EXPECT_EQ(activityView({events[0]}, now).header, "1 event");
}

// Every kind's symbol has an icon of its own.
TEST(ActivityView, EveryKindHasAnIcon) {
    for (int k = 0; k < kActivityKindCount; ++k) {
        const auto symbol = activitySymbol(static_cast<ActivityKind>(k));
        EXPECT_NE(activityIconName(symbol), "dialog-information-symbolic") << symbol;
    }
}

}  // namespace
}  // namespace vigilo
