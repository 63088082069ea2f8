#include "platform/linux/proc/proc_stat.h"

#include <gtest/gtest.h>

#include <string>

namespace vigilo {
namespace {

std::string statLine(const std::string& name, const std::string& utime, const std::string& stime,
                     const std::string& rss) {
    return "7 (" + name + ") R 1 7 7 0 -1 0 0 0 0 0 " + utime + " " + stime + " 0 0 20 0 1 0 5 100 " + rss +
           " 0 0\n";
}

TEST(ProcStat, CountsFieldsFromTheLastParenthesis) {
    const auto usage = parseProcStat(statLine(") S 1 2 3 (", "1", "2", "3"), 100, 4096);
    ASSERT_TRUE(usage);
    EXPECT_EQ(usage->cpuTimeNanos, 30'000'000u);
    EXPECT_EQ(usage->residentBytes, 3u * 4096);
    EXPECT_EQ(usage->startTime, 5u);
}

TEST(ProcStat, LargeCountersDoNotOverflowAndNegativeResidentIsZero) {
    // 2^62 ticks at 250 Hz: the naive ticks * 10^9 would overflow.
    const auto usage = parseProcStat(statLine("x", "4611686018427387904", "0", "-5"), 250, 4096);
    ASSERT_TRUE(usage);
    EXPECT_EQ(usage->cpuTimeNanos, 4611686018427387904u / 250 * 1'000'000'000u +
                                       4611686018427387904u % 250 * 1'000'000'000u / 250);
    EXPECT_EQ(usage->residentBytes, 0u);
}

TEST(ProcStat, MalformedTextIsRejected) {
    EXPECT_FALSE(parseProcStat("", 100, 4096));
    EXPECT_FALSE(parseProcStat("7 (x) R 1 2", 100, 4096));
    EXPECT_FALSE(parseProcStat("no parenthesis at all", 100, 4096));
    EXPECT_FALSE(parseProcStat(statLine("x", "-1", "2", "3"), 100, 4096));
    EXPECT_FALSE(parseProcStat(statLine("x", "1", "2", "3x"), 100, 4096));
    EXPECT_FALSE(parseProcStat(statLine("x", "1", "2", "3"), 0, 4096));
}

}  // namespace
}  // namespace vigilo
