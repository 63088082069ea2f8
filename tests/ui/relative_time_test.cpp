#include "ui/relative_time.h"

#include <gtest/gtest.h>

namespace vigilo {
namespace {

using namespace std::chrono_literals;

TEST(RelativeTime, LargestWholeUnitInFiguresOrWords) {
    const WallTime now{1'700'000'000s};
    constexpr auto numeric = RelativeTimeStyle::numeric;
    constexpr auto words = RelativeTimeStyle::spelledOut;
    const std::tuple<std::chrono::seconds, RelativeTimeStyle, const char*> cases[] = {
        {0s, numeric, "now"},
        {1s, numeric, "1 second ago"},
        {59s, numeric, "59 seconds ago"},
        {60s, numeric, "1 minute ago"},
        {5min + 59s, numeric, "5 minutes ago"},
        {1h, numeric, "1 hour ago"},
        {23h + 59min, numeric, "23 hours ago"},
        {24h, numeric, "yesterday"},
        {6 * 24h, numeric, "6 days ago"},
        {7 * 24h, numeric, "last week"},
        {29 * 24h, numeric, "4 weeks ago"},
        {30 * 24h, numeric, "last month"},
        {364 * 24h, numeric, "12 months ago"},
        {365 * 24h, numeric, "last year"},
        {3 * 365 * 24h, numeric, "3 years ago"},
        {-24h, numeric, "tomorrow"},
        {-2h, numeric, "in 2 hours"},
        {0s, words, "now"},
        {1s, words, "one second ago"},
        {59s, words, "fifty-nine seconds ago"},
        {5min + 30s, words, "five minutes ago"},
        {24h, words, "one day ago"},
        {21h, words, "twenty-one hours ago"},
        {13 * 24h, words, "one week ago"},
        {45 * 24h, words, "one month ago"},
        {123 * 365 * 24h, words, "one hundred twenty-three years ago"},
        {200 * 365 * 24h, words, "two hundred years ago"},
        {-2h, words, "in two hours"},
    };
    for (const auto& [ago, style, expected] : cases) {
        EXPECT_EQ(relativeTimeText(now - ago, now, style), expected) << ago.count();
    }
}

}  // namespace
}  // namespace vigilo
