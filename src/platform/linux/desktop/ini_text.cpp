#include "platform/linux/desktop/ini_text.h"

#include <algorithm>

namespace vigilo {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

bool isBlank(std::string_view line) { return trimmed(line).empty(); }

bool isHeader(std::string_view line) { return trimmed(line).starts_with('['); }

// Replaces what stands between "=" (and the blanks after it) and the
// line's trailing white space, which stays as it was.
void replaceValue(std::string& line, std::string_view value) {
    std::size_t start = line.find('=') + 1;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
    std::size_t end = line.size();
    while (end > start && isSpace(line[end - 1])) --end;
    line.replace(start, end - start, value);
}

std::string entryLine(std::string_view key, std::string_view value) {
    return std::string(key) + "=" + std::string(value);
}

}  // namespace

std::optional<std::string_view> iniKeyOf(std::string_view line) {
    const auto text = trimmed(line);
    if (text.empty() || text.front() == '#' || text.front() == '[') return std::nullopt;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return trimmed(line.substr(0, equals));
}

std::string iniValueOf(std::string_view line) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return {};
    return std::string(trimmed(line.substr(equals + 1)));
}

IniText::IniText(std::string_view text) {
    if (text.empty()) return;
    finalNewline_ = text.back() == '\n';
    if (finalNewline_) text.remove_suffix(1);
    std::size_t start = 0;
    while (true) {
        const auto end = text.find('\n', start);
        lines_.emplace_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
}

std::vector<IniText::Section> IniText::sections(std::string_view group) const {
    std::vector<Section> result;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (!isHeader(lines_[i]) || trimmed(lines_[i]) != group) continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && !isHeader(lines_[end])) ++end;
        result.push_back({i, end});
    }
    return result;
}

std::vector<std::size_t> IniText::keyLines(std::string_view group, std::string_view key) const {
    std::vector<std::size_t> result;
    for (const auto& section : sections(group))
        for (std::size_t i = section.header + 1; i < section.end; ++i)
            if (iniKeyOf(lines_[i]) == key) result.push_back(i);
    return result;
}

bool IniText::hasGroup(std::string_view group) const { return !sections(group).empty(); }

std::optional<std::string> IniText::value(std::string_view group, std::string_view key) const {
    const auto found = keyLines(group, key);
    if (found.empty()) return std::nullopt;
    return iniValueOf(lines_[found.back()]);
}

std::vector<std::string> IniText::lines(std::string_view group, std::string_view key) const {
    std::vector<std::string> result;
    for (const auto index : keyLines(group, key)) result.push_back(lines_[index]);
    return result;
}

IniText::Added IniText::set(std::string_view group, std::string_view key, std::string_view value) {
    const auto found = keyLines(group, key);
    for (const auto index : found) replaceValue(lines_[index], value);
    if (!found.empty()) return Added::nothing;

    const auto existing = sections(group);
    if (!existing.empty()) {
        // After the group's last entry, before the blank lines that part it from the next.
        std::size_t at = existing.back().end;
        while (at > existing.back().header + 1 && isBlank(lines_[at - 1])) --at;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), entryLine(key, value));
        return Added::key;
    }
    const bool blankBefore = !lines_.empty() && !isBlank(lines_.back());
    if (blankBefore) lines_.emplace_back();
    lines_.emplace_back(group);
    lines_.push_back(entryLine(key, value));
    finalNewline_ = true;
    return blankBefore ? Added::groupAfterBlank : Added::group;
}

bool IniText::replaceLines(std::string_view group, std::string_view key, const std::vector<std::string>& lines) {
    const auto found = keyLines(group, key);
    if (found.size() != lines.size()) return false;
    for (std::size_t i = 0; i < found.size(); ++i) lines_[found[i]] = lines[i];
    return true;
}

void IniText::remove(std::string_view group, std::string_view key) {
    const auto found = keyLines(group, key);
    for (auto index = found.rbegin(); index != found.rend(); ++index)
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*index));
}

// The blank lines inside stay: they part the groups that follow, or were
// the file's own before set() appended the group.
bool IniText::removeGroupIfEmpty(std::string_view group, bool withBlankBefore) {
    bool ranToEnd = false;
    const auto found = sections(group);
    for (auto section = found.rbegin(); section != found.rend(); ++section) {
        bool empty = true;
        for (std::size_t i = section->header + 1; i < section->end; ++i) empty = empty && isBlank(lines_[i]);
        if (!empty) continue;
        ranToEnd = ranToEnd || section->end == lines_.size();
        std::size_t begin = section->header;
        if (withBlankBefore && begin > 0 && isBlank(lines_[begin - 1])) --begin;
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(begin),
                     lines_.begin() + static_cast<std::ptrdiff_t>(section->header + 1));
    }
    return ranToEnd;
}

std::string IniText::text() const {
    std::string result;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i > 0) result += '\n';
        result += lines_[i];
    }
    if (finalNewline_ && !lines_.empty()) result += '\n';
    return result;
}

}  // namespace vigilo
