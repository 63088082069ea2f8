#include "app/watch_pattern_chips.h"

#include <gtest/gtest.h>

namespace vigilo {
namespace {

using Patterns = std::vector<std::string>;

std::vector<std::pair<std::string, bool>> flatten(const std::vector<WatchPatternChip>& chips) {
    std::vector<std::pair<std::string, bool>> out;
    for (const auto& chip : chips) out.emplace_back(chip.pattern, chip.on);
    return out;
}

TEST(WatchPatternChips, DefaultsThenStoredWithLaterCaseDuplicatesDropped) {
    const Patterns defaults{"claude", "node", "Ollama"};
    const Patterns stored{"NODE", "my-agent", "ollama", "My-Agent", "python"};
    const std::vector<std::pair<std::string, bool>> expected{
        {"claude", false}, {"node", true}, {"Ollama", true}, {"my-agent", true}, {"python", true}};
    EXPECT_EQ(flatten(watchPatternChips(defaults, stored)), expected);
    EXPECT_TRUE(watchPatternChips({}, {}).empty());
}

TEST(WatchPatternChips, TappingRemovesTheFirstMatchOrAppends) {
    const Patterns stored{"Node", "cargo", "node"};
    EXPECT_TRUE(containsWatchPattern(stored, "NODE"));
    EXPECT_FALSE(containsWatchPattern(stored, "nod"));

    EXPECT_EQ(toggledWatchPattern(stored, "node"), (Patterns{"cargo", "node"}));
    EXPECT_EQ(toggledWatchPattern(stored, "bun"), (Patterns{"Node", "cargo", "node", "bun"}));
    EXPECT_EQ(toggledWatchPattern({}, "bun"), Patterns{"bun"});
    // Case folding goes beyond ASCII, as the watcher's does.
    EXPECT_EQ(toggledWatchPattern({"caf\xC3\xA9", "x"}, "CAF\xC3\x89"), Patterns{"x"});
}

TEST(WatchPatternChips, AddingTrimsAndSkipsEmptyAndKnownPatterns) {
    const Patterns stored{"claude"};
    EXPECT_EQ(withAddedWatchPattern(stored, "  my-agent\n\t"), (Patterns{"claude", "my-agent"}));
    EXPECT_EQ(withAddedWatchPattern(stored, " \r\n "), std::nullopt);
    EXPECT_EQ(withAddedWatchPattern(stored, ""), std::nullopt);
    EXPECT_EQ(withAddedWatchPattern(stored, "\tCLAUDE "), std::nullopt);
    // Inner spaces stay: patterns may match command lines.
    EXPECT_EQ(withAddedWatchPattern(stored, " python train.py "), (Patterns{"claude", "python train.py"}));
}

TEST(WatchPatternChips, TrimmingKnowsUnicodeSpacesAndLeavesOtherBytes) {
    // No-break space, ideographic space, line separator.
    EXPECT_EQ(trimmedPattern("\xC2\xA0\xE3\x80\x80vllm\xE2\x80\xA8"), "vllm");
    EXPECT_EQ(trimmedPattern("caf\xC3\xA9 "), "caf\xC3\xA9");
    // Broken UTF-8 at either end is not white space and is kept.
    EXPECT_EQ(trimmedPattern("\xA0x\xC2"), "\xA0x\xC2");
    EXPECT_EQ(trimmedPattern(" \xE3\x80"), "\xE3\x80");
    EXPECT_EQ(trimmedPattern("\xE2\x80\x89"), "");
}

}  // namespace
}  // namespace vigilo
