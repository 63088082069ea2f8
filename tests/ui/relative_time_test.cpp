#include "ui/relative_time.h"

#include <gtest/gtest.h>

namespace vigilo {
namespace {

using namespace std::chrono_literals;

TEST(RelativeTime, LargestWholeUnitNamedWhereThereIsAName) {
    const WallTime now{1'700'000'000s};
    const std::pair<std::chrono::seconds, const char*> cases[] = {
        {0s, "now"},
        {1s, "1 second ago"},
        {59s, "59 seconds ago"},
        {60s, "1 minute ago"},
        {5min + 59s, "5 minutes ago"},
        {1h, "1 hour ago"},
        {23h + 59min, "23 hours ago"},
        {24h, "yesterday"},
        {6 * 24h, "6 days ago"},
        {7 * 24h, "last week"},
        {29 * 24h, "4 weeks ago"},
        {30 * 24h, "last month"},
        {364 * 24h, "12 months ago"},
        {365 * 24h, "last year"},
        {3 * 365 * 24h, "3 years ago"},
        {-24h, "tomorrow"},
        {-2h, "in 2 hours"},
    };
    for (const auto& [ago, expected] : cases) {
        EXPECT_EQ(relativeTimeText(now - ago, now), expected) << ago.count();
    }
}

}  // namespace
}  // namespace vigilo
