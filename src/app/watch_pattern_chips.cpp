#include "app/watch_pattern_chips.h"

#include <algorithm>
#include <unordered_set>

#include "support/utf8_text.h"

namespace vigilo {

std::string_view trimmedPattern(std::string_view text) { return trimmedWhitespace(text); }

std::vector<WatchPatternChip> watchPatternChips(const std::vector<std::string>& defaults,
                                                const std::vector<std::string>& stored) {
    std::unordered_set<std::string> storedLower;
    for (const auto& pattern : stored) storedLower.insert(lowerCased(pattern));

    std::vector<WatchPatternChip> chips;
    std::unordered_set<std::string> seen;
    auto offer = [&](const std::string& pattern) {
        auto lower = lowerCased(pattern);
        if (!seen.insert(lower).second) return;
        chips.push_back({pattern, storedLower.contains(lower)});
    };
    for (const auto& pattern : defaults) offer(pattern);
    for (const auto& pattern : stored) offer(pattern);
    return chips;
}

bool containsWatchPattern(const std::vector<std::string>& stored, std::string_view pattern) {
    const auto lower = lowerCased(pattern);
    return std::any_of(stored.begin(), stored.end(),
                       [&](const std::string& entry) { return lowerCased(entry) == lower; });
}

std::vector<std::string> toggledWatchPattern(std::vector<std::string> stored, const std::string& pattern) {
    const auto lower = lowerCased(pattern);
    auto match = std::find_if(stored.begin(), stored.end(),
                              [&](const std::string& entry) { return lowerCased(entry) == lower; });
    if (match != stored.end()) {
        stored.erase(match);
    } else {
        stored.push_back(pattern);
    }
    return stored;
}

std::optional<std::vector<std::string>> withAddedWatchPattern(std::vector<std::string> stored,
                                                              std::string_view typed) {
    const auto pattern = trimmedPattern(typed);
    if (pattern.empty() || containsWatchPattern(stored, pattern)) return std::nullopt;
    stored.emplace_back(pattern);
    return stored;
}

}  // namespace vigilo
