#include "platform/linux/gpu/drm_fdinfo.h"

#include <charconv>
#include <optional>
#include <set>

namespace vigilo {
namespace {

constexpr std::string_view kEnginePrefix = "drm-engine-";
constexpr std::string_view kCapacityPrefix = "drm-engine-capacity-";
constexpr std::string_view kCyclesPrefix = "drm-cycles-";
constexpr std::string_view kTotalCyclesPrefix = "drm-total-cycles-";

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A whole unsigned decimal number; a sign, a fraction or an overflow is not one.
std::optional<std::uint64_t> parseCount(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

// "<count> ns", the unit the busy time is given in.
std::optional<std::uint64_t> parseNanoseconds(std::string_view text) {
    if (!text.ends_with(" ns")) return std::nullopt;
    return parseCount(trimmed(text.substr(0, text.size() - 3)));
}

class Parser {
public:
    void line(std::string_view key, std::string_view value) {
        if (key == "drm-driver") {
            driver_ = std::string(value);
        } else if (key == "drm-pdev") {
            client_.key.pdev = std::string(value);
        } else if (key == "drm-client-id") {
            clientId_ = count(key, value);
        } else if (key.starts_with(kCapacityPrefix)) {
            const std::uint64_t capacity = count(key, value).value_or(1);
            if (capacity == 0) fail("a capacity of 0 in " + std::string(key));
            engine(key.substr(kCapacityPrefix.size())).capacity = capacity == 0 ? 1 : capacity;
        } else if (key.starts_with(kEnginePrefix)) {
            const auto busy = parseNanoseconds(value);
            if (!busy) fail("no busy time in nanoseconds in " + std::string(key));
            counted(key.substr(kEnginePrefix.size())).busy = busy.value_or(0);
        } else if (key.starts_with(kCyclesPrefix)) {
            DrmEngineCounter& counter = counted(key.substr(kCyclesPrefix.size()));
            counter.busy = count(key, value).value_or(0);
            counter.inCycles = true;
        } else if (key.starts_with(kTotalCyclesPrefix)) {
            const std::string_view name = key.substr(kTotalCyclesPrefix.size());
            engine(name).totalCycles = count(key, value).value_or(0);
            totals_.insert(std::string(name));
        }
    }

    DrmFdinfo finish() {
        DrmFdinfo result;
        if (!driver_) return result;
        client_.key.driver = *driver_;
        if (!clientId_ && problem_.empty()) fail("no drm-client-id");
        for (const auto& [name, counter] : client_.engines) {
            if (counter.inCycles && !totals_.contains(name)) fail("drm-cycles-" + name + " without its total");
        }
        if (!problem_.empty()) {
            result.status = DrmFdinfo::Status::malformed;
            result.problem = std::move(problem_);
            return result;
        }
        client_.key.clientId = *clientId_;
        // A capacity or a total alone names no counter.
        std::erase_if(client_.engines, [&](const auto& entry) { return !counted_.contains(entry.first); });
        result.status = DrmFdinfo::Status::client;
        result.client = std::move(client_);
        return result;
    }

private:
    DrmEngineCounter& engine(std::string_view name) { return client_.engines[std::string(name)]; }
    DrmEngineCounter& counted(std::string_view name) {
        counted_.insert(std::string(name));
        return engine(name);
    }

    std::optional<std::uint64_t> count(std::string_view key, std::string_view value) {
        auto parsed = parseCount(value);
        if (!parsed) fail("no whole number in " + std::string(key));
        return parsed;
    }

    void fail(std::string problem) {
        if (problem_.empty()) problem_ = std::move(problem);
    }

    std::optional<std::string> driver_;
    std::optional<std::uint64_t> clientId_;
    DrmClient client_;
    std::set<std::string> counted_;  // engines with a busy counter
    std::set<std::string> totals_;   // engines with a total of cycles
    std::string problem_;
};

}  // namespace

DrmFdinfo parseDrmFdinfo(std::string_view text) {
    Parser parser;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        parser.line(line.substr(0, colon), trimmed(line.substr(colon + 1)));
    }
    return parser.finish();
}

}  // namespace vigilo
