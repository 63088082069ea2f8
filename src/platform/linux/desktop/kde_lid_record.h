#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace vigilo {

// What setting KDE's lid action to "do nothing" changed in one entry of one
// file, with enough to give back exactly that.
struct KdeLidChange {
    std::string group;
    std::string key;
    // Every copy of the key as it was, each line byte for byte; empty when
    // the key was absent and so added.
    std::vector<std::string> lines;
    // Records of earlier versions kept only the last copy's value, trimmed:
    // that value is put back into every copy instead of `lines`.
    std::optional<std::string> value;
    bool addedGroup = false;  // the group was absent and was appended
    bool addedBlank = false;  // and a blank line before it, to part it from the line before
};

struct KdeLidFileChange {
    std::string file;  // the name in the configuration folder
    // Whether it was there: one that was not goes again once it is empty.
    bool existed = true;
    // Whether it ended with a line break, given back when the groups
    // appended to it go; nullopt from records of earlier versions.
    std::optional<bool> finalNewline;
    std::vector<KdeLidChange> changes;
};

// The record as kept on disk while the mode is on:
//   {"files": [{"file": "powerdevilrc", "existed": true, "finalNewline": false,
//               "changes": [{"group": "[AC][SuspendAndShutdown]", "key": "LidAction",
//                            "lines": ["LidAction=1"], "addedGroup": false, "addedBlank": false}]}]}
nlohmann::json kdeLidRecordToJson(const std::vector<KdeLidFileChange>& files);

struct KdeLidRecord {
    std::vector<KdeLidFileChange> files;
    int leftOut = 0;  // changes that were malformed, and so cannot be given back
};
// Reads a record of this version or of the earlier one
//   {"edits": [{"file": ..., "group": ..., "key": ..., "previous": "1" or null}]}
// Only the lid entries of the two files are accepted, and only lines that
// are an entry of their key: the record comes from disk and must not steer
// writes anywhere else. A malformed change is left out and counted, so the
// others can still be given back; nullopt when the record itself is not one.
std::optional<KdeLidRecord> kdeLidRecordFromJson(const nlohmann::json& record);

// Whether `record` has nothing to give back.
bool kdeLidRecordIsEmpty(const nlohmann::json& record);

// The entries setDoNothing() may change.
struct KdeLidEntry {
    const char* file;
    const char* group;
    const char* key;
    bool addGroup;  // false: only a group that exists is changed
};
inline constexpr KdeLidEntry kKdeLidEntries[] = {
    {"powerdevilrc", "[AC][SuspendAndShutdown]", "LidAction", true},
    {"powerdevilrc", "[Battery][SuspendAndShutdown]", "LidAction", true},
    {"powerdevilrc", "[LowBattery][SuspendAndShutdown]", "LidAction", true},
    {"powermanagementprofilesrc", "[AC][HandleButtonEvents]", "lidAction", false},
    {"powermanagementprofilesrc", "[Battery][HandleButtonEvents]", "lidAction", false},
    {"powermanagementprofilesrc", "[LowBattery][HandleButtonEvents]", "lidAction", false},
};
inline constexpr const char* kKdeLidFiles[] = {"powerdevilrc", "powermanagementprofilesrc"};

}  // namespace vigilo
