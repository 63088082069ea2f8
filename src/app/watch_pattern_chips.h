#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vigilo {

// The settings window's editing rules for the watch list. Patterns are
// compared without regard to case throughout (with the
// same case folding as the watcher's matching). Each edit returns the
// whole new list, to be stored in one write.

struct WatchPatternChip {
    std::string pattern;
    bool on = false;  // the stored list contains the pattern
};

// The chips shown: the default list followed by the stored list, keeping only
// the first of entries that differ in case alone.
std::vector<WatchPatternChip> watchPatternChips(const std::vector<std::string>& defaults,
                                                const std::vector<std::string>& stored);

bool containsWatchPattern(const std::vector<std::string>& stored, std::string_view pattern);

// Tapping a chip: an on chip removes the first matching entry, an off chip
// appends the pattern.
std::vector<std::string> toggledWatchPattern(std::vector<std::string> stored, const std::string& pattern);

// Adding a typed pattern: whitespace and line breaks around it are trimmed;
// nullopt when nothing is left or the list already has it.
std::optional<std::vector<std::string>> withAddedWatchPattern(std::vector<std::string> stored,
                                                              std::string_view typed);

// Strips leading and trailing Unicode white space and line breaks from UTF-8
// text.
std::string_view trimmedPattern(std::string_view text);

}  // namespace vigilo
