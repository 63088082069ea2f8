#include "safety/restore_record.h"

#include <system_error>
#include <utility>

#include "support/atomic_file.h"
#include "support/bounded_file.h"
#include "support/rejected_file.h"

namespace vigilo {

RestoreRecord::RestoreRecord(std::optional<std::filesystem::path> folder) {
    if (folder) file_ = *folder / kRestoreRecordFileName;
}

bool RestoreRecord::put(const std::string& key, const nlohmann::json& value) {
    std::lock_guard lock(mutex_);
    loadOnce();
    entries_[key] = value;
    return save();
}

void RestoreRecord::erase(const std::string& key) {
    std::lock_guard lock(mutex_);
    loadOnce();
    if (entries_.erase(key) == 0) return;
    (void)save();
}

std::optional<nlohmann::json> RestoreRecord::get(const std::string& key) const {
    std::lock_guard lock(mutex_);
    loadOnce();
    const auto found = entries_.find(key);
    if (found == entries_.end()) return std::nullopt;
    return found->second;
}

std::map<std::string, nlohmann::json> RestoreRecord::entries() const {
    std::lock_guard lock(mutex_);
    loadOnce();
    return entries_;
}

void RestoreRecord::loadOnce() const {
    if (loaded_ || !file_) return;
    loaded_ = true;
    const auto file = readBoundedFile(*file_, kMaxRestoreRecordFileBytes);
    if (file.status == BoundedFile::Status::missing) return;
    std::string problem = file.problem;
    if (file.status == BoundedFile::Status::ok) {
        auto parsed = nlohmann::json::parse(file.contents, nullptr, false);
        if (parsed.is_object()) {
            for (auto& [key, value] : parsed.items()) entries_.emplace(key, std::move(value));
            return;
        }
        problem = "not a JSON object";
    }
    log_.error("Unreadable {} ({}): starting with nothing to put back", file_->string(), problem);
    if (auto error = keepRejectedCopy(*file_)) log_.error("{}", *error);
    std::error_code ignored;
    std::filesystem::remove(*file_, ignored);
}

bool RestoreRecord::save() const {
    if (!file_) return true;
    std::error_code ignored;
    if (entries_.empty()) return std::filesystem::remove(*file_, ignored) || !std::filesystem::exists(*file_, ignored);
    if (auto error = createFoldersDurably(file_->parent_path())) {
        log_.error("Cannot keep {}: {}", file_->string(), *error);
        return false;
    }
    nlohmann::json object(nlohmann::json::value_t::object);
    for (const auto& [key, value] : entries_) object[key] = value;
    if (auto error = writeFileAtomically(*file_, object.dump(2) + "\n", 0600)) {
        log_.error("Cannot write {}: {}", file_->string(), *error);
        return false;
    }
    return true;
}

}  // namespace vigilo
