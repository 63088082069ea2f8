#include "cli/timer_duration.h"

#include <gtest/gtest.h>

namespace vigilo {
namespace {

TEST(TimerDuration, PlainSecondsAndUnitsInOrder) {
    const struct {
        const char* text;
        std::int64_t seconds;
    } valid[] = {
        {"3600", 3600},   {"007", 7},        {"0", 0},           {"45s", 45},
        {"90m", 5400},    {"1h", 3600},      {"1h30m", 5400},    {"1h30m15s", 5415},
        {"2h15s", 7215},  {"0h5m", 300},     {"120m", 7200},     {"99999999h", 359'999'996'400},
        {"9223372036854775807", INT64_MAX},  {"2562047788015215h", 9'223'372'036'854'774'000},
    };
    for (const auto& c : valid) EXPECT_EQ(parseTimerDuration(c.text), c.seconds) << c.text;
}

TEST(TimerDuration, EveryOtherFormIsRefused) {
    for (const char* text : {
             "",       "h",     "1h1h",  "30m1h", "1s1m",  "-5m",  "+5m",   "-5",     "+30", "1.5h",
             "1,5h",   "1h30",  "1H",    "1d",    "5 m",   " 5",   "5m ",   "1hm",    "m5",  "1h 30m",
             "0x10",   "1e3",   "\xef\xbc\x91h",  // a full-width digit
             "9223372036854775808", "2562047788015216h", "99999999999999999999h", "2562047788015215h1808s",
         }) {
        EXPECT_EQ(parseTimerDuration(text), std::nullopt) << text;
    }
}

}  // namespace
}  // namespace vigilo
