#include "ui/spelled_relative_time.h"

#include <gtest/gtest.h>

namespace vigilo {
namespace {

TEST(SpelledRelativeTime, TheLargestWholeUnitSpelledOut) {
    using std::chrono::seconds;
    const WallTime now{std::chrono::hours(24 * 365 * 30)};
    const std::pair<long long, const char*> cases[] = {
        {0, "now"},
        {1, "one second ago"},
        {59, "fifty-nine seconds ago"},
        {5 * 60 + 30, "five minutes ago"},
        {3600, "one hour ago"},
        {21 * 3600, "twenty-one hours ago"},
        {13 * 86400, "one week ago"},
        {45 * 86400, "one month ago"},
        {123LL * 365 * 86400, "one hundred twenty-three years ago"},
        {200LL * 365 * 86400, "two hundred years ago"},
        {-2 * 3600, "in two hours"},
    };
    for (const auto& [ago, expected] : cases) {
        EXPECT_EQ(spelledOutRelativeTime(now - seconds(ago), now), expected) << ago;
    }
}

}  // namespace
}  // namespace vigilo
