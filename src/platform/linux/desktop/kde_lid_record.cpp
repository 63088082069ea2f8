#include "platform/linux/desktop/kde_lid_record.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "platform/linux/desktop/ini_text.h"

namespace vigilo {

using nlohmann::json;

namespace {

bool isLidEntry(std::string_view file, std::string_view group, std::string_view key) {
    for (const auto& entry : kKdeLidEntries)
        if (file == entry.file && group == entry.group && key == entry.key) return true;
    return false;
}

// A string field; nullopt when absent or of another type.
std::optional<std::string> stringAt(const json& object, const char* name) {
    const auto found = object.find(name);
    if (found == object.end() || !found->is_string()) return std::nullopt;
    return found->get<std::string>();
}

// A flag that may be left out; nullopt when it is there with another type.
std::optional<bool> flagAt(const json& object, const char* name, bool absent) {
    const auto found = object.find(name);
    if (found == object.end()) return absent;
    if (!found->is_boolean()) return std::nullopt;
    return found->get<bool>();
}

// A line break would let a line become several, a header among them.
bool isLineOf(const json& line, std::string_view key) {
    if (!line.is_string()) return false;
    const auto& text = line.get_ref<const std::string&>();
    return text.find('\n') == std::string::npos && iniKeyOf(text) == key;
}

std::optional<KdeLidChange> changeFromJson(const std::string& file, const json& item) {
    if (!item.is_object()) return std::nullopt;
    auto group = stringAt(item, "group"), key = stringAt(item, "key");
    if (!group || !key || !isLidEntry(file, *group, *key)) return std::nullopt;
    KdeLidChange change{std::move(*group), std::move(*key), {}, std::nullopt, false, false};
    const auto lines = item.find("lines");
    if (lines == item.end() || !lines->is_array()) return std::nullopt;
    for (const auto& line : *lines) {
        if (!isLineOf(line, change.key)) return std::nullopt;
        change.lines.push_back(line.get<std::string>());
    }
    const auto addedGroup = flagAt(item, "addedGroup", false), addedBlank = flagAt(item, "addedBlank", false);
    if (!addedGroup || !addedBlank) return std::nullopt;
    change.addedGroup = *addedGroup;
    change.addedBlank = *addedBlank;
    return change;
}

bool isLidFile(std::string_view file) { return file == kKdeLidFiles[0] || file == kKdeLidFiles[1]; }

// Without "existed" the file is never taken away: keeping an empty file is
// the lesser harm.
std::optional<KdeLidFileChange> fileFromJson(const json& item) {
    if (!item.is_object()) return std::nullopt;
    auto file = stringAt(item, "file");
    const auto existed = flagAt(item, "existed", true);
    const auto changes = item.find("changes");
    if (!file || !isLidFile(*file) || !existed || changes == item.end() || !changes->is_array()) return std::nullopt;
    KdeLidFileChange result{std::move(*file), *existed, std::nullopt, {}};
    if (const auto finalNewline = item.find("finalNewline"); finalNewline != item.end()) {
        if (!finalNewline->is_boolean()) return std::nullopt;
        result.finalNewline = finalNewline->get<bool>();
    }
    return result;
}

void readFiles(const json& files, KdeLidRecord& record) {
    for (const auto& item : files) {
        auto file = fileFromJson(item);
        if (!file) {
            ++record.leftOut;
            continue;
        }
        for (const auto& change : item.at("changes")) {
            if (auto parsed = changeFromJson(file->file, change))
                file->changes.push_back(std::move(*parsed));
            else
                ++record.leftOut;
        }
        record.files.push_back(std::move(*file));
    }
}

// The earlier record kept the last copy's value, or null for a key it
// added, in which case it also took away the group the key left empty and
// a file it left empty.
std::optional<std::pair<std::string, KdeLidChange>> editFromJson(const json& item) {
    if (!item.is_object()) return std::nullopt;
    auto file = stringAt(item, "file"), group = stringAt(item, "group"), key = stringAt(item, "key");
    const auto previous = item.find("previous");
    if (!file || !group || !key || previous == item.end() || !isLidEntry(*file, *group, *key)) return std::nullopt;
    KdeLidChange change{std::move(*group), std::move(*key), {}, std::nullopt, false, false};
    if (previous->is_null()) {
        change.addedGroup = change.addedBlank = true;
    } else if (previous->is_string() && previous->get_ref<const std::string&>().find('\n') == std::string::npos) {
        change.value = previous->get<std::string>();
    } else {
        return std::nullopt;
    }
    return std::pair{std::move(*file), std::move(change)};
}

void readEdits(const json& edits, KdeLidRecord& record) {
    for (const auto& item : edits) {
        auto edit = editFromJson(item);
        if (!edit) {
            ++record.leftOut;
            continue;
        }
        auto file = std::find_if(record.files.begin(), record.files.end(),
                                 [&](const KdeLidFileChange& known) { return known.file == edit->first; });
        if (file == record.files.end()) file = record.files.insert(file, {edit->first, false, std::nullopt, {}});
        file->changes.push_back(std::move(edit->second));
    }
}

}  // namespace

json kdeLidRecordToJson(const std::vector<KdeLidFileChange>& files) {
    json result = json::array();
    for (const auto& file : files) {
        json changes = json::array();
        for (const auto& change : file.changes)
            changes.push_back({{"group", change.group},
                               {"key", change.key},
                               {"lines", change.lines},
                               {"addedGroup", change.addedGroup},
                               {"addedBlank", change.addedBlank}});
        json item = {{"file", file.file}, {"existed", file.existed}, {"changes", std::move(changes)}};
        if (file.finalNewline) item["finalNewline"] = *file.finalNewline;
        result.push_back(std::move(item));
    }
    return {{"files", std::move(result)}};
}

std::optional<KdeLidRecord> kdeLidRecordFromJson(const json& record) {
    if (!record.is_object()) return std::nullopt;
    KdeLidRecord result;
    if (const auto files = record.find("files"); files != record.end() && files->is_array())
        readFiles(*files, result);
    else if (const auto edits = record.find("edits"); edits != record.end() && edits->is_array())
        readEdits(*edits, result);
    else
        return std::nullopt;
    return result;
}

bool kdeLidRecordIsEmpty(const json& record) {
    const auto parsed = kdeLidRecordFromJson(record);
    if (!parsed || parsed->leftOut > 0) return false;
    for (const auto& file : parsed->files)
        if (!file.changes.empty()) return false;
    return true;
}

}  // namespace vigilo
