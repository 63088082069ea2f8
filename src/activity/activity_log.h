#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "activity/activity_event.h"
#include "support/clock.h"
#include "support/log.h"
#include "support/published.h"
#include "support/serial_writer.h"

namespace vigilo {

inline constexpr const char* kActivityFileName = "activity.json";
// 500 events are tens of kilobytes; a file far bigger is not ours.
inline constexpr std::uintmax_t kMaxActivityFileSize = 4 << 20;

// The persistent history of notable events, newest first, at most 500.
// Every change saves the whole list to "activity.json" in the folder given,
// through `writer` (which must outlive this object), so the file ends up
// holding the newest list and is never torn. Main thread only.
class ActivityLog {
public:
    static constexpr std::size_t maxEvents = 500;

    // `folder` absent: the history lives in memory only. The folder is
    // created when missing; the file in it is loaded at once.
    ActivityLog(std::optional<std::filesystem::path> folder, const Clock& clock, SerialWriter& writer);
    ActivityLog(const ActivityLog&) = delete;
    ActivityLog& operator=(const ActivityLog&) = delete;

    Published<std::vector<ActivityEvent>>& events() { return events_; }

    void record(ActivityKind kind, std::optional<std::int64_t> value = std::nullopt,
                std::optional<std::string> text = std::nullopt);

    // The activity window's "Clear": empties the history and the file.
    void clear();

    // Saves the current list; errors are dropped (the next change retries).
    void persist();

    const std::optional<std::filesystem::path>& fileURL() const { return file_; }

private:
    void load();
    void keepRejectedFile();

    Logger log_{"Activity"};
    const Clock& clock_;
    SerialWriter& writer_;
    std::optional<std::filesystem::path> file_;
    Published<std::vector<ActivityEvent>> events_;
};

// The JSON file form: a compact array of events, newest first.
std::string encodeActivityEvents(const std::vector<ActivityEvent>& events);
// Throws ActivityDecodeError when the text is not such an array or any entry
// is wrong.
std::vector<ActivityEvent> decodeActivityEvents(const std::string& text);

}  // namespace vigilo
