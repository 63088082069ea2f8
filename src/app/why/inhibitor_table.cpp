#include "app/why/inhibitor_table.h"

#include <algorithm>
#include <array>

#include "support/tr.h"
#include "support/utf8_text.h"

namespace vigilo {

namespace {

constexpr std::size_t kColumnGap = 3;

std::size_t characters(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += decodeUtf8At(text, pos).length) ++count;
    return count;
}

// The first `limit` characters of `text`.
std::string firstCharacters(const std::string& text, std::size_t limit) {
    std::size_t pos = 0;
    for (std::size_t n = 0; n < limit && pos < text.size(); ++n) pos += decodeUtf8At(text, pos).length;
    return text.substr(0, pos);
}

std::string joined(const std::vector<std::string>& words, const char* separator) {
    std::string out;
    for (const auto& word : words) {
        if (!out.empty()) out += separator;
        out += word;
    }
    return out;
}

bool isBlocking(const InhibitorEntry& entry) { return entry.mode != "delay"; }

}  // namespace

std::string singleLineText(std::string_view text) {
    std::string out = decodeUtf8Lossy(text);
    std::string result;
    result.reserve(out.size());
    for (std::size_t pos = 0; pos < out.size();) {
        const Utf8Char c = decodeUtf8At(out, pos);
        const bool control = c.codePoint < 0x20 || (c.codePoint >= 0x7f && c.codePoint < 0xa0) ||
                             c.codePoint == 0x2028 || c.codePoint == 0x2029;
        if (control) {
            result += ' ';
        } else {
            result.append(out, pos, c.length);
        }
        pos += c.length;
    }
    return result;
}

std::string inhibitorProcessText(const InhibitorEntry& entry) {
    if (!entry.pid) return {};
    const std::string pid = trFormat("(pid {})", *entry.pid);
    if (!entry.command || entry.command->empty()) return pid;
    return singleLineText(*entry.command) + " " + pid;
}

std::string inhibitorTable(const std::vector<InhibitorEntry>& entries, std::optional<std::size_t> width) {
    if (entries.empty()) return std::string(tr("Nothing keeps this computer awake.")) + "\n";
    using Row = std::array<std::string, 5>;
    std::vector<Row> rows;
    std::array<std::size_t, 5> sizes{};
    for (const auto& entry : entries) {
        Row row{singleLineText(joined(entry.what, ",")), singleLineText(entry.who), singleLineText(entry.why),
                inhibitorProcessText(entry), originLabel(entry.origin)};
        for (std::size_t i = 0; i < row.size(); ++i) sizes[i] = std::max(sizes[i], characters(row[i]));
        rows.push_back(std::move(row));
    }
    std::string out = std::string(tr("Keeping this computer awake:")) + "\n";
    for (const auto& row : rows) {
        std::string line = "  ";
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line.append(sizes[i] - characters(row[i]) + kColumnGap, ' ');
        }
        if (width && characters(line) > *width) line = firstCharacters(line, *width);
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    return out;
}

std::string alsoKeepingAwakeNames(const std::vector<InhibitorEntry>& entries) {
    constexpr std::size_t kShown = 3;
    std::vector<std::string> names;
    for (const auto& entry : entries) {
        if (entry.origin == InhibitorOrigin::vigilo || !isBlocking(entry)) continue;
        if (!entry.blocks("sleep") && !entry.blocks("idle")) continue;
        std::string name = singleLineText(entry.who);
        if (name.empty()) name = entry.command.value_or("?");
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
    }
    if (names.size() <= kShown) return joined(names, ", ");
    const auto more = names.size() - kShown;
    names.resize(kShown);
    return joined(names, ", ") + " " + trFormat("and {} more", more);
}

bool othersBlockSleep(const std::vector<InhibitorEntry>& entries) {
    return std::any_of(entries.begin(), entries.end(), [](const InhibitorEntry& entry) {
        return entry.origin != InhibitorOrigin::vigilo && isBlocking(entry) && entry.blocks("sleep");
    });
}

}  // namespace vigilo
