#include "platform/linux/proc/proc_stat.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace vigilo {
namespace {

// Fields after the name, counted from 0 at the state letter (field 3 in
// proc(5)): utime is field 14, stime 15, starttime 22, rss 24.
constexpr int kUtime = 11, kStime = 12, kStartTime = 19, kRss = 21;

template <class Int>
bool parseField(std::string_view field, Int& value) {
    const char* end = field.data() + field.size();
    auto [ptr, ec] = std::from_chars(field.data(), end, value);
    return ec == std::errc() && ptr == end;
}

std::uint64_t ticksToNanos(std::uint64_t ticks, std::uint64_t perSecond) {
    constexpr std::uint64_t kNanosPerSecond = 1'000'000'000;
    // Split so that large tick counts do not overflow the multiplication.
    return ticks / perSecond * kNanosPerSecond + ticks % perSecond * kNanosPerSecond / perSecond;
}

}  // namespace

std::optional<ProcessUsage> parseProcStat(std::string_view text, long ticksPerSecond, long pageSize) {
    if (ticksPerSecond <= 0 || pageSize <= 0) return std::nullopt;
    const auto close = text.rfind(')');
    if (close == std::string_view::npos) return std::nullopt;
    std::string_view rest = text.substr(close + 1);

    std::uint64_t utime = 0, stime = 0, startTime = 0;
    std::int64_t rss = 0;
    bool haveUtime = false, haveStime = false, haveStartTime = false, haveRss = false;
    for (int index = 0; index <= kRss; ++index) {
        const auto start = rest.find_first_not_of(" \n");
        if (start == std::string_view::npos) return std::nullopt;
        rest.remove_prefix(start);
        const auto length = std::min(rest.find_first_of(" \n"), rest.size());
        const std::string_view field = rest.substr(0, length);
        rest.remove_prefix(length);
        if (index == kUtime) haveUtime = parseField(field, utime);
        if (index == kStime) haveStime = parseField(field, stime);
        if (index == kStartTime) haveStartTime = parseField(field, startTime);
        if (index == kRss) haveRss = parseField(field, rss);
    }
    if (!haveUtime || !haveStime || !haveStartTime || !haveRss) return std::nullopt;

    ProcessUsage usage;
    const auto perSecond = static_cast<std::uint64_t>(ticksPerSecond);
    usage.cpuTimeNanos = ticksToNanos(utime, perSecond) + ticksToNanos(stime, perSecond);
    // rss is signed in the kernel's format; a negative count means nothing resident.
    usage.residentBytes = rss > 0 ? static_cast<std::uint64_t>(rss) * static_cast<std::uint64_t>(pageSize) : 0;
    // Clock ticks since boot, kept as they are: only ever compared.
    usage.startTime = startTime;
    return usage;
}

}  // namespace vigilo
