#include "platform/linux/desktop/kde_lid_settings.h"

#include <sys/stat.h>

#include <map>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/linux/desktop/ini_text.h"
#include "support/atomic_file.h"
#include "support/bounded_file.h"
#include "support/log.h"
#include "support/utf8_text.h"

namespace vigilo {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

const Logger& clamshellLog() {
    static const Logger log("Clamshell");
    return log;
}

struct LidEntry {
    const char* file;
    const char* group;
    const char* key;
    bool addGroup;  // false: only a group that exists is changed
};

constexpr LidEntry kLidEntries[] = {
    {"powerdevilrc", "[AC][SuspendAndShutdown]", "LidAction", true},
    {"powerdevilrc", "[Battery][SuspendAndShutdown]", "LidAction", true},
    {"powerdevilrc", "[LowBattery][SuspendAndShutdown]", "LidAction", true},
    {"powermanagementprofilesrc", "[AC][HandleButtonEvents]", "lidAction", false},
    {"powermanagementprofilesrc", "[Battery][HandleButtonEvents]", "lidAction", false},
    {"powermanagementprofilesrc", "[LowBattery][HandleButtonEvents]", "lidAction", false},
};
constexpr const char* kFiles[] = {"powerdevilrc", "powermanagementprofilesrc"};
constexpr std::size_t kMaxValueBytes = 256;

struct Edit {
    std::string file;
    std::string group;
    std::string key;
    std::optional<std::string> previous;
};

json editToJson(const Edit& edit) {
    return {{"file", edit.file},
            {"group", edit.group},
            {"key", edit.key},
            {"previous", edit.previous ? json(*edit.previous) : json(nullptr)}};
}

bool isKnownEntry(const Edit& edit) {
    for (const auto& entry : kLidEntries)
        if (edit.file == entry.file && edit.group == entry.group && edit.key == entry.key) return true;
    return false;
}

// Only the entries this class writes, with values a file line can hold:
// the record comes from disk and must not steer writes anywhere else.
std::optional<Edit> editFromJson(const json& item) {
    if (!item.is_object()) return std::nullopt;
    const auto file = item.find("file"), group = item.find("group"), key = item.find("key");
    const auto previous = item.find("previous");
    if (file == item.end() || group == item.end() || key == item.end() || previous == item.end()) return std::nullopt;
    if (!file->is_string() || !group->is_string() || !key->is_string()) return std::nullopt;
    Edit edit{file->get<std::string>(), group->get<std::string>(), key->get<std::string>(), std::nullopt};
    if (!isKnownEntry(edit)) return std::nullopt;
    if (previous->is_string()) {
        edit.previous = previous->get<std::string>();
        if (edit.previous->size() > kMaxValueBytes || edit.previous->find_first_of("\r\n") != std::string::npos)
            return std::nullopt;
    } else if (!previous->is_null()) {
        return std::nullopt;
    }
    return edit;
}

std::optional<std::vector<Edit>> editsFromRecord(const json& record) {
    if (!record.is_object()) return std::nullopt;
    const auto edits = record.find("edits");
    if (edits == record.end() || !edits->is_array()) return std::nullopt;
    std::vector<Edit> result;
    for (const auto& item : *edits) {
        auto edit = editFromJson(item);
        if (!edit) return std::nullopt;
        result.push_back(std::move(*edit));
    }
    return result;
}

// The file as text; a missing one reads as empty. nullopt (logged) for
// anything that is not a KDE configuration file we dare edit.
std::optional<IniText> readConfig(const fs::path& path) {
    const auto file = readBoundedFile(path, KdeLidSettings::kMaxFileBytes);
    if (file.status == BoundedFile::Status::missing) return IniText("");
    std::string problem = file.problem;
    if (file.status == BoundedFile::Status::ok &&
        (file.contents.find('\0') != std::string::npos || !isValidUtf8(file.contents)))
        problem = "not a text file";
    if (!problem.empty() || file.status != BoundedFile::Status::ok) {
        clamshellLog().error("KDE lid settings left alone: {}: {}", path.string(), problem);
        return std::nullopt;
    }
    return IniText(file.contents);
}

// Writes through a symbolic link (configuration folders are often kept
// elsewhere and linked in) and keeps the file's mode.
bool writeConfig(const fs::path& path, const IniText& config) {
    std::error_code error;
    const bool linked = fs::is_symlink(path, error);
    fs::path target = linked ? fs::canonical(path, error) : path;
    if (error) target = path;
    const std::string text = config.text();
    if (text.empty() && !linked) {
        // Only an entry added to a file we created leaves nothing behind.
        fs::remove(target, error);
        if (!error) return true;
    }
    struct stat st {};
    const mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0600;
    if (auto failure = writeFileAtomically(target, text, mode)) {
        clamshellLog().error("KDE lid settings not written: {}: {}", path.string(), *failure);
        return false;
    }
    return true;
}

}  // namespace

KdeLidSettings::KdeLidSettings(fs::path configDir) : configDir_(std::move(configDir)) {}

std::optional<json> KdeLidSettings::setDoNothing(const SaveFirst& saveFirst) {
    json edits = json::array();
    std::map<std::string, IniText> changed;
    bool anyRead = false;
    for (const char* file : kFiles) {
        auto config = readConfig(configDir_ / file);
        if (!config) continue;
        anyRead = true;
        bool touched = false;
        for (const auto& entry : kLidEntries) {
            if (std::string_view(entry.file) != file) continue;
            if (!entry.addGroup && !config->hasGroup(entry.group)) continue;
            auto previous = config->value(entry.group, entry.key);
            if (previous == kDoNothing) continue;
            edits.push_back(editToJson({file, entry.group, entry.key, std::move(previous)}));
            config->set(entry.group, entry.key, kDoNothing);
            touched = true;
        }
        if (touched) changed.emplace(file, std::move(*config));
    }
    if (!anyRead) return std::nullopt;
    json record = {{"edits", std::move(edits)}};
    if (changed.empty()) return record;
    if (!saveFirst(record)) {
        clamshellLog().error("KDE lid action not changed: its previous values could not be saved");
        return std::nullopt;
    }
    // A file that fails keeps its old value, which restore() then finds already back.
    for (const auto& [file, config] : changed) writeConfig(configDir_ / file, config);
    return record;
}

KdeLidSettings::Restored KdeLidSettings::restore(const json& record) {
    const auto edits = editsFromRecord(record);
    if (!edits) {
        clamshellLog().error("KDE lid settings to restore are malformed; nothing restored");
        return {};
    }
    Restored result{true, false};
    for (const char* file : kFiles) {
        std::vector<const Edit*> ofFile;
        for (const auto& edit : *edits)
            if (edit.file == file) ofFile.push_back(&edit);
        if (ofFile.empty()) continue;
        auto config = readConfig(configDir_ / file);
        if (!config) {
            result.ok = false;
            continue;
        }
        bool touched = false;
        for (const Edit* edit : ofFile) {
            const auto current = config->value(edit->group, edit->key);
            if (current == edit->previous) continue;
            if (current != kDoNothing) {
                clamshellLog().info("KDE lid action {} {} was changed since; left as it is", file, edit->group);
                continue;
            }
            if (edit->previous)
                config->set(edit->group, edit->key, *edit->previous);
            else
                config->remove(edit->group, edit->key);
            touched = true;
        }
        if (!touched) continue;
        if (writeConfig(configDir_ / file, *config))
            result.changed = true;
        else
            result.ok = false;
    }
    return result;
}

}  // namespace vigilo
