#include "activity/activity_log.h"

#include <system_error>
#include <utility>

#include "support/atomic_file.h"
#include "support/json_wire.h"

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
        std::error_code ignored;
        std::filesystem::create_directories(*folder, ignored);
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
    const auto contents = readWholeFile(*file_);
    if (!contents) return;
    try {
        events_.publish(decodeActivityEvents(*contents));
    } catch (const ActivityDecodeError& error) {
        log_.error("Activity log decode failed: {}", error.what());
        // The next record replaces the file with a short list; keep the
        // user's history aside so it can still be recovered by hand.
        std::error_code ignored;
        std::filesystem::copy_file(*file_, file_->string() + kBadActivitySuffix,
                                   std::filesystem::copy_options::overwrite_existing, ignored);
    }
}

}  // namespace vigilo
