#pragma once

#include <compare>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace vigilo {

// Which GPU client a DRM descriptor belongs to. Descriptors a parent hands
// to its children, or duplicates, share one client and so one set of
// counters.
struct DrmClientKey {
    std::string driver;
    std::string pdev;  // the PCI device; empty for devices without one
    std::uint64_t clientId = 0;

    auto operator<=>(const DrmClientKey&) const = default;
};

// One engine's counter: either busy nanoseconds ("drm-engine-<name>") or,
// where the driver counts cycles ("drm-cycles-<name>" with
// "drm-total-cycles-<name>"), busy cycles out of total cycles.
struct DrmEngineCounter {
    std::uint64_t busy = 0;         // nanoseconds, or cycles
    std::uint64_t totalCycles = 0;  // cycles only
    bool inCycles = false;
    std::uint64_t capacity = 1;  // engines of this kind the counter covers

    bool operator==(const DrmEngineCounter&) const = default;
};

struct DrmClient {
    DrmClientKey key;
    std::map<std::string, DrmEngineCounter> engines;  // by engine name, as the driver spells it

    bool operator==(const DrmClient&) const = default;
};

// What one /proc/<pid>/fdinfo/<fd> file says.
struct DrmFdinfo {
    enum class Status {
        notDrm,     // no "drm-driver" key: some other kind of descriptor
        client,     // `client` holds the counters
        malformed,  // a DRM descriptor whose keys cannot be used; `problem` says why
    };
    Status status = Status::notDrm;
    DrmClient client;
    std::string problem;
};

// Parses the text of an fdinfo file, for any bytes: "key:<tabs> value" lines;
// unknown keys are ignored. A DRM descriptor without a client id, with a
// counter that is not a whole number within 64 bits, with cycles but no
// total or with a capacity of 0 is malformed.
DrmFdinfo parseDrmFdinfo(std::string_view text);

}  // namespace vigilo
