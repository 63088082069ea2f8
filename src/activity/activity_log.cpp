#include "activity/activity_log.h"

#include <utility>

#include "support/atomic_file.h"
#include "support/bounded_file.h"
#include "support/json_wire.h"
#include "support/rejected_file.h"

namespace vigilo {

using nlohmann::json;

std::string encodeActivityEvents(const std::vector<ActivityEvent>& events) {
    json array = json::array();
    for (const auto& event : events) array.push_back(activityEventToJson(event));
    // Replace rather than throw on text that is not UTF-8: a write must not fail.
    return array.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::vector<ActivityEvent> decodeActivityEvents(const std::string& text) {
    const json parsed = json::parse(text, nullptr, false);
    if (parsed.is_discarded()) throw ActivityDecodeError("the file is not valid JSON");
    if (!parsed.is_array()) throw ActivityDecodeError("the file holds " + jsonTypeName(parsed) + ", not an array");
    std::vector<ActivityEvent> events;
    events.reserve(parsed.size());
    for (const auto& entry : parsed) events.push_back(activityEventFromJson(entry));
    return events;
}

ActivityLog::ActivityLog(std::optional<std::filesystem::path> folder, const Clock& clock, SerialWriter& writer)
    : clock_(clock), writer_(writer) {
    if (folder) {
        createFoldersDurably(*folder);  // a failure shows at the first write
        file_ = *folder / kActivityFileName;
    }
    load();
}

void ActivityLog::record(ActivityKind kind, std::optional<std::int64_t> value, std::optional<std::string> text) {
    ActivityEvent event{makeUuid(), clock_.wallNow(), kind, value, std::move(text)};
    auto events = events_.get();
    events.insert(events.begin(), std::move(event));
    if (events.size() > maxEvents) events.resize(maxEvents);
    events_.publish(std::move(events));
    persist();
}

void ActivityLog::clear() {
    events_.publish({});
    persist();
}

void ActivityLog::persist() {
    if (!file_) return;
    writer_.write(*file_, encodeActivityEvents(events_.get()));
}

void ActivityLog::load() {
    if (!file_) return;
    const auto file = readBoundedFile(*file_, kMaxActivityFileSize);
    if (file.status == BoundedFile::Status::missing) return;
    if (file.status == BoundedFile::Status::rejected) {
        log_.error("Activity log decode failed: {}", file.problem);
        keepRejectedFile();
        return;
    }
    try {
        events_.publish(decodeActivityEvents(file.contents));
    } catch (const ActivityDecodeError& error) {
        log_.error("Activity log decode failed: {}", error.what());
        keepRejectedFile();
    }
}

// The next record replaces the file with a short list; the user's history
// stays recoverable by hand.
void ActivityLog::keepRejectedFile() {
    if (auto error = keepRejectedCopy(*file_)) {
        log_.error("{}", *error);
    } else {
        log_.info("Kept the rejected activity log as {}{}", file_->string(), kRejectedFileSuffix);
    }
}

}  // namespace vigilo
