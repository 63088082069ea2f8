#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vigilo {

// A KDE-style configuration file ("[Group][Sub]" headers, "key=value"
// lines, "#" comments) edited the way a careful person would edit it by
// hand: only the lines of the entries changed are touched, and of those only
// the value, so comments, other groups, spacing, line ends and order
// survive. Every edit can be undone to the byte: set() says what it added,
// and lines() keeps what it replaced.
//
// A group is named by its whole header as written, brackets included
// ("[AC][SuspendAndShutdown]"). A group written twice counts as one, as it
// does for KDE; so does a key written twice in it (the last one wins, and
// edits apply to every copy). Keys are compared exactly, so a localised or
// flagged key ("key[de]", "key[$i]") is another key. Lines are split at
// "\n" only: a carriage return stays part of its line.
class IniText {
public:
    explicit IniText(std::string_view text);

    bool hasGroup(std::string_view group) const;
    // The value with the white space around it trimmed; nullopt when absent.
    std::optional<std::string> value(std::string_view group, std::string_view key) const;
    // Every copy of `key` in `group`, each line exactly as written.
    std::vector<std::string> lines(std::string_view group, std::string_view key) const;

    // What set() had to add besides a value.
    enum class Added {
        nothing,          // every copy of the key got the value
        key,              // the key went at the end of its group
        group,            // the group went at the end of the file
        groupAfterBlank,  // the same, after a blank line that parts it from the line before
    };
    // Replaces the value of every copy of `key`; adds the key at the end of
    // the group, or the group at the end of the file, when missing.
    Added set(std::string_view group, std::string_view key, std::string_view value);
    // Puts `lines` in place of the copies of `key`, one for one; false, and
    // nothing changed, when their numbers differ.
    bool replaceLines(std::string_view group, std::string_view key, const std::vector<std::string>& lines);
    // Removes every copy of `key`; the group stays, even empty.
    void remove(std::string_view group, std::string_view key);
    // Removes the group's header when nothing but blank lines follows it,
    // with the blank line before it when `withBlankBefore` (undoing
    // Added::groupAfterBlank). True when it ran to the end of the file.
    bool removeGroupIfEmpty(std::string_view group, bool withBlankBefore);

    bool finalNewline() const { return finalNewline_; }
    void setFinalNewline(bool finalNewline) { finalNewline_ = finalNewline; }

    std::string text() const;

private:
    struct Section {
        std::size_t header;  // index of the header line
        std::size_t end;     // one past its last line
    };
    std::vector<Section> sections(std::string_view group) const;
    std::vector<std::size_t> keyLines(std::string_view group, std::string_view key) const;

    std::vector<std::string> lines_;
    bool finalNewline_ = false;
};

// The key of an entry line, trimmed; nullopt for comments, headers and
// other lines.
std::optional<std::string_view> iniKeyOf(std::string_view line);
// The value of an entry line, trimmed.
std::string iniValueOf(std::string_view line);

}  // namespace vigilo
