#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "support/log.h"

namespace vigilo {

inline constexpr const char* kRestoreRecordFileName = "restore.json";
// A handful of small entries; anything much bigger is not ours.
inline constexpr std::uintmax_t kMaxRestoreRecordFileBytes = 64 * 1024;

// "restore.json" beside "crashguard.json": what a system setting was before
// the application changed it, so that it can be put back at quit and, after
// a crash, at the next launch. One JSON object; each owner keeps its values
// under keys of its own ("fan ..." for the fans, the desktop's lid settings
// under theirs). An entry is put BEFORE the change and erased AFTER the
// restore, so a crash in between leaves it for the next launch.
//
// A file that cannot be read as an object is kept as "restore.json.bad" and
// the record starts empty: it never stops the start. Writes are atomic.
// Thread-safe: fan writes record from background tasks.
class RestoreRecord {
public:
    // `folder` absent: nowhere to keep the file; the record lives in memory.
    explicit RestoreRecord(std::optional<std::filesystem::path> folder);

    // Adds or replaces the entry and writes the file; false when it could not
    // be written (the caller should not make the change then).
    bool put(const std::string& key, const nlohmann::json& value);
    // Removes the entry (a missing one is fine) and writes the file.
    void erase(const std::string& key);
    std::optional<nlohmann::json> get(const std::string& key) const;
    std::map<std::string, nlohmann::json> entries() const;

    const std::optional<std::filesystem::path>& fileURL() const { return file_; }

private:
    void loadOnce() const;
    bool save() const;

    Logger log_{"CrashGuard"};
    std::optional<std::filesystem::path> file_;
    mutable std::mutex mutex_;
    mutable bool loaded_ = false;
    mutable std::map<std::string, nlohmann::json> entries_;
};

}  // namespace vigilo
