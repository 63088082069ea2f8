// The activity reader over the bytes of a damaged or hand-edited
// "activity.json". A file it accepts must survive being saved and loaded
// again, and each event's title must be made without fault.

#include "activity/activity_log.h"
#include "fuzz_support.h"

using namespace vigilo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<ActivityEvent> events;
    try {
        events = decodeActivityEvents(std::string(fuzz::textOf(data, size)));
    } catch (const ActivityDecodeError&) {
        return 0;
    }
    for (const auto& event : events) (void)event.localizedTitle();

    // The first save drops fractions of seconds and time-zone offsets; from
    // then on saving and loading changes nothing.
    const std::string saved = encodeActivityEvents(events);
    std::vector<ActivityEvent> loaded;
    try {
        loaded = decodeActivityEvents(saved);
    } catch (const ActivityDecodeError&) {
        fuzz::require(false, "a saved history loads again");
    }
    fuzz::require(loaded.size() == events.size(), "a saved history keeps every event");
    fuzz::require(encodeActivityEvents(loaded) == saved, "saving a loaded history writes the same text");
    return 0;
}
