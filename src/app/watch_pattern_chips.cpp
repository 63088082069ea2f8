#include "app/watch_pattern_chips.h"

#include <algorithm>
#include <unordered_set>

#include "detection/utf8_text.h"

namespace vigilo {

namespace {

bool isSpaceOrNewline(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

// Decodes the UTF-8 sequence of `length` bytes at `p`; 0xFFFFFFFF when it is
// not one (such bytes are never white space, so they are kept).
char32_t decode(const unsigned char* p, std::size_t length) {
    if (length == 1) return p[0] < 0x80 ? p[0] : 0xFFFFFFFF;
    char32_t c = p[0] & (0xFF >> (length + 1));
    for (std::size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0xFFFFFFFF;
        c = (c << 6) | (p[i] & 0x3F);
    }
    return c;
}

std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 1;
}

// Length of the white space at the front of `text`.
std::size_t leadingSpace(std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t length = sequenceLength(bytes[at]);
        if (at + length > text.size() || !isSpaceOrNewline(decode(bytes + at, length))) break;
        at += length;
    }
    return at;
}

// Length of the white space at the end of `text`.
std::size_t trailingSpace(std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t end = text.size();
    while (end > 0) {
        std::size_t start = end - 1;
        while (start > 0 && end - start < 4 && (bytes[start] & 0xC0) == 0x80) --start;
        const std::size_t length = end - start;
        if (sequenceLength(bytes[start]) != length || !isSpaceOrNewline(decode(bytes + start, length))) break;
        end = start;
    }
    return text.size() - end;
}

}  // namespace

std::string_view trimmedPattern(std::string_view text) {
    text.remove_prefix(leadingSpace(text));
    text.remove_suffix(trailingSpace(text));
    return text;
}

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
