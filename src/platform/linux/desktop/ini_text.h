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
// the value, so comments, other groups, spacing and order survive, and
// setting an entry back to its old value gives back the old bytes.
//
// A group is named by its whole header as written, brackets included
// ("[AC][SuspendAndShutdown]"). A group written twice counts as one, as it
// does for KDE; so does a key written twice in it (the last one wins, and
// edits apply to every copy). Keys are compared exactly, so a localised or
// flagged key ("key[de]", "key[$i]") is another key.
class IniText {
public:
    explicit IniText(std::string_view text);

    bool hasGroup(std::string_view group) const;
    // The value with the white space around it trimmed; nullopt when absent.
    std::optional<std::string> value(std::string_view group, std::string_view key) const;

    // Replaces the value of every copy of `key`; adds the key at the end of
    // the group, or the group at the end of the file, when missing.
    void set(std::string_view group, std::string_view key, std::string_view value);
    // Removes every copy of `key`; a group left empty goes with its header,
    // so that a group set() added leaves no trace.
    void remove(std::string_view group, std::string_view key);

    std::string text() const;

private:
    struct Section {
        std::size_t header;  // index of the header line
        std::size_t end;     // one past its last line
    };
    std::vector<Section> sections(std::string_view group) const;
    std::vector<std::size_t> keyLines(std::string_view group, std::string_view key) const;
    void removeSectionIfEmpty(Section section);

    std::vector<std::string> lines_;
    bool finalNewline_ = false;
};

}  // namespace vigilo
