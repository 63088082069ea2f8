#include "platform/linux/desktop/kde_lid_settings.h"

#include <map>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/linux/desktop/ini_text.h"
#include "platform/linux/desktop/kde_config_file.h"
#include "support/log.h"

namespace vigilo {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

const Logger& clamshellLog() {
    static const Logger log("Clamshell");
    return log;
}

bool allSayDoNothing(const std::vector<std::string>& lines) {
    for (const auto& line : lines)
        if (iniValueOf(line) != KdeLidSettings::kDoNothing) return false;
    return !lines.empty();
}

// The lid entries of `file` that are not "do nothing" yet, set to it.
KdeLidFileChange setFileToDoNothing(const char* file, bool existed, IniText& config) {
    KdeLidFileChange result{file, existed, config.finalNewline(), {}};
    for (const auto& entry : kKdeLidEntries) {
        if (std::string_view(entry.file) != file) continue;
        if (!entry.addGroup && !config.hasGroup(entry.group)) continue;
        if (config.value(entry.group, entry.key) == KdeLidSettings::kDoNothing) continue;
        KdeLidChange change{entry.group, entry.key, config.lines(entry.group, entry.key), std::nullopt, false, false};
        const auto added = config.set(entry.group, entry.key, KdeLidSettings::kDoNothing);
        change.addedGroup = added == IniText::Added::group || added == IniText::Added::groupAfterBlank;
        change.addedBlank = added == IniText::Added::groupAfterBlank;
        result.changes.push_back(std::move(change));
    }
    return result;
}

// Gives back one change where the file still holds ours; true when it did.
bool giveBack(IniText& config, const KdeLidFileChange& file, const KdeLidChange& change) {
    const auto current = config.lines(change.group, change.key);
    const bool back = change.value ? config.value(change.group, change.key) == change.value : current == change.lines;
    if (back) return false;
    if (!allSayDoNothing(current)) {
        clamshellLog().info("KDE lid action {} {} was changed since; left as it is", file.file, change.group);
        return false;
    }
    if (change.value) {
        config.set(change.group, change.key, *change.value);
    } else if (change.lines.empty()) {
        config.remove(change.group, change.key);
        if (change.addedGroup && config.removeGroupIfEmpty(change.group, change.addedBlank) && file.finalNewline)
            config.setFinalNewline(*file.finalNewline);
    } else if (!config.replaceLines(change.group, change.key, change.lines)) {
        // Someone rewrote the file with another number of copies: the value at least goes back.
        config.set(change.group, change.key, iniValueOf(change.lines.back()));
    }
    return true;
}

}  // namespace

KdeLidSettings::KdeLidSettings(fs::path configDir) : configDir_(std::move(configDir)) {}

std::optional<json> KdeLidSettings::setDoNothing(const SaveFirst& saveFirst) {
    std::vector<KdeLidFileChange> files;
    std::map<std::string, IniText> changed;
    bool anyRead = false;
    for (const char* file : kKdeLidFiles) {
        const fs::path path = configDir_ / file;
        auto config = readKdeConfig(path);
        if (!config) continue;
        anyRead = true;
        std::error_code error;
        auto change = setFileToDoNothing(file, fs::exists(fs::symlink_status(path, error)), *config);
        if (change.changes.empty()) continue;
        if (auto problem = whyKdeConfigIsNotWritable(path)) {
            clamshellLog().error("Closed-lid mode is not available on KDE: {} {}; KDE lid settings left alone",
                                 path.string(), *problem);
            return std::nullopt;
        }
        files.push_back(std::move(change));
        changed.emplace(file, std::move(*config));
    }
    if (!anyRead) return std::nullopt;
    json record = kdeLidRecordToJson(files);
    if (changed.empty()) return record;
    if (!saveFirst(record)) {
        clamshellLog().error("KDE lid action not changed: its previous values could not be saved");
        return std::nullopt;
    }
    // A file that fails keeps its old value, which restore() then finds already back.
    for (const auto& file : files) writeKdeConfig(configDir_ / file.file, changed.at(file.file), !file.existed);
    return record;
}

KdeLidSettings::Restored KdeLidSettings::restore(const json& record) {
    const auto parsed = kdeLidRecordFromJson(record);
    if (!parsed) {
        clamshellLog().error("KDE lid settings to restore are malformed; nothing restored");
        return {};
    }
    Restored result{parsed->leftOut == 0, false};
    if (parsed->leftOut > 0)
        clamshellLog().error("{} KDE lid settings to restore are malformed; left out", parsed->leftOut);
    for (const auto& file : parsed->files) {
        const fs::path path = configDir_ / file.file;
        std::error_code error;
        if (fs::is_symlink(path, error) && !fs::exists(path, error)) {
            // Its target may be on a drive that is not there now: ours may come back with it.
            clamshellLog().error("KDE lid settings not restored yet: {} is a link to a missing file", path.string());
            result.ok = false;
            continue;
        }
        auto config = readKdeConfig(path);
        if (!config) {
            result.ok = false;
            continue;
        }
        bool touched = false;
        // Undone last first, as groups were appended in order.
        for (auto change = file.changes.rbegin(); change != file.changes.rend(); ++change)
            touched = giveBack(*config, file, *change) || touched;
        if (!touched) continue;
        if (writeKdeConfig(path, *config, !file.existed))
            result.changed = true;
        else
            result.ok = false;
    }
    return result;
}

}  // namespace vigilo
