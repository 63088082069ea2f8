#include "app/watch_list_limits.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include <unordered_set>

#include "support/json_wire.h"
#include "support/utf8_text.h"

namespace vigilo {

namespace {

// Each entry's share of the list's JSON text: its encoded string and the
// comma before the next one.
std::size_t encodedEntrySize(const std::string& pattern) { return toWireJson(nlohmann::json(pattern)).size() + 1; }

// The brackets, less the comma the last entry does not have.
constexpr std::size_t kListFrame = 1;

void trimAndDropBlanksAndRepeats(std::vector<std::string>& patterns) {
    std::vector<std::string> kept;
    std::unordered_set<std::string> seen;
    for (const auto& pattern : patterns) {
        std::string trimmed(trimmedWhitespace(pattern));
        if (trimmed.empty() || !seen.insert(trimmed).second) continue;
        kept.push_back(std::move(trimmed));
    }
    patterns = std::move(kept);
}

}  // namespace

std::optional<std::string> tidyWatchList(std::vector<std::string>& patterns) {
    trimAndDropBlanksAndRepeats(patterns);
    std::size_t size = kListFrame;
    for (const auto& pattern : patterns) {
        if (pattern.size() > kMaxWatchPatternBytes) {
            return fmt::format("a watch pattern is longer than {} bytes", kMaxWatchPatternBytes);
        }
        size += encodedEntrySize(pattern);
    }
    if (size > kMaxWatchListBytes) {
        return fmt::format("the watch list would be longer than {} bytes", kMaxWatchListBytes);
    }
    return std::nullopt;
}

std::size_t fitWatchList(std::vector<std::string>& patterns) {
    trimAndDropBlanksAndRepeats(patterns);
    const std::size_t before = patterns.size();
    std::vector<std::string> kept;
    std::size_t size = kListFrame;
    for (auto& pattern : patterns) {
        if (pattern.size() > kMaxWatchPatternBytes) continue;
        size += encodedEntrySize(pattern);
        if (size > kMaxWatchListBytes) break;
        kept.push_back(std::move(pattern));
    }
    patterns = std::move(kept);
    return before - patterns.size();
}

}  // namespace vigilo
