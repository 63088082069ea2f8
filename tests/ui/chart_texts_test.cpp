#include "ui/chart_texts.h"

#include <gtest/gtest.h>

namespace vigilo {
namespace {

using namespace std::chrono_literals;

TEST(ChartTexts, ScreenReadersHearTheFigures) {
    const WallTime now = WallTime{} + 1'800'000'000s;
    EXPECT_EQ(awakeBandText({}), "Not kept awake in the last 24 hours.");
    EXPECT_EQ(awakeBandText({{now - 5h, now - 3h, AwakeReason::autoMode},
                             {now - 2h, now - 50min, AwakeReason::timer},
                             {now - 1h, now, AwakeReason::autoMode}}),
              "Kept awake 4 h 00 min in the last 24 hours: Auto Mode 3 h 00 min, Timer 1 h 10 min.");
    // Closed-lid mode all day under a timer and a rule: never more than the day.
    EXPECT_EQ(awakeBandText({{now - 24h, now, AwakeReason::closedLid},
                             {now - 20h, now - 4h, AwakeReason::timer},
                             {now - 6h, now - 1h, AwakeReason::rule}}),
              "Kept awake 24 h 00 min in the last 24 hours: Timer 16 h 00 min, Rule 5 h 00 min, "
              "Closed-lid 24 h 00 min.");
    EXPECT_EQ(awakeBandText({{now - 9h, now - 8h, AwakeReason::manual},
                             {now - 8h - 30min, now - 7h, AwakeReason::closedLid}}),
              "Kept awake 2 h 00 min in the last 24 hours: Manual 1 h 00 min, Closed-lid 1 h 30 min.");
    EXPECT_EQ(readingsText("Temperature", "\u00b0C", {}), "Temperature over the last hour: not measured.");
    EXPECT_EQ(readingsText("Battery", "%", {{{now - 50min, 80}, {now - 40min, 78}}, {{now - 1min, 64}}}),
              "Battery over the last hour: 64 to 80 %, now 64 %.");
    EXPECT_EQ(weekBarsText({{"Mon", 2.5}, {"Tue", 0}}), "Mon 2.5 h, Tue 0.0 h");
}

}  // namespace
}  // namespace vigilo
