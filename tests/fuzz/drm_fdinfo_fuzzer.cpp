// The DRM fdinfo parser and the busy-time arithmetic after it. A process's
// fdinfo is written by its driver, but a test tree or an odd driver may hold
// anything: huge or negative counters, keys without values, any bytes.

#include <chrono>
#include <map>
#include <vector>

#include "fuzz_support.h"
#include "platform/linux/gpu/drm_busy_meter.h"
#include "platform/linux/gpu/drm_fdinfo.h"

using namespace vigilo;

namespace {

std::map<std::int32_t, std::vector<DrmClient>> clientsOf(std::string_view text) {
    DrmFdinfo parsed = parseDrmFdinfo(text);
    fuzz::require(parsed.status != DrmFdinfo::Status::malformed || !parsed.problem.empty(),
                  "a malformed descriptor says why");
    if (parsed.status != DrmFdinfo::Status::client) return {};
    return {{7, {parsed.client}}, {8, {parsed.client}}};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first half as the earlier sample, the whole as the later one.
    const std::string_view text = fuzz::textOf(data, size);
    DrmBusyMeter meter;
    const MonoTime start{std::chrono::seconds(1)};
    meter.update(clientsOf(text.substr(0, size / 2)), start);
    for (const auto& [pid, percent] : meter.update(clientsOf(text), start + std::chrono::seconds(3))) {
        fuzz::require(percent >= 0 && percent <= 100, "a percent within 0 and 100");
        fuzz::require(pid == 7, "a shared client counts for the lowest pid only");
    }
    return 0;
}
