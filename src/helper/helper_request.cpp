#include "helper/helper_request.h"

#include <fmt/format.h>

#include "platform/helper_verbs.h"

namespace vigilo {
namespace {

constexpr std::string_view kUsage =
    "expected: lid-drop-in on|off, fan manual <hwmon path> <index> <value>, "
    "fan auto <hwmon path> <index> <pwm_enable value>, install-cli <vigilo-app path>|remove";

RefusedRequest refuse(std::string reason) { return RefusedRequest{std::move(reason)}; }

// The path is resolved later; here it only has to be an absolute path with
// nothing a caller could use to smuggle text through.
bool isPlainAbsolutePath(std::string_view path) {
    if (path.empty() || path.front() != '/' || path.size() > 4096) return false;
    for (char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    }
    return true;
}

HelperRequest parseLidDropIn(std::span<const std::string_view> args) {
    if (args.size() != 2) return refuse("lid-drop-in takes exactly one word: on or off");
    if (args[1] == "on") return LidDropInRequest{true};
    if (args[1] == "off") return LidDropInRequest{false};
    return refuse(fmt::format("lid-drop-in: '{}' is neither on nor off", args[1]));
}

HelperRequest parseCliInstall(std::span<const std::string_view> args) {
    if (args.size() != 2) return refuse("install-cli takes exactly one word: the vigilo-app path, or remove");
    if (args[1] == "remove") return CliInstallRequest{};
    if (!isPlainAbsolutePath(args[1])) return refuse("install-cli: the executable must be an absolute path");
    return CliInstallRequest{std::string(args[1])};
}

HelperRequest parseFan(std::span<const std::string_view> args) {
    if (args.size() < 2 || (args[1] != kFanManualWord && args[1] != kFanAutoWord)) {
        return refuse("fan takes manual or auto, then <hwmon path> <index> <value>");
    }
    const bool manual = args[1] == kFanManualWord;
    const std::string verb = fmt::format("fan {}", args[1]);
    if (args.size() != 5) {
        return refuse(fmt::format("{} takes exactly three arguments: <hwmon path> <index> <value>", verb));
    }
    if (!isPlainAbsolutePath(args[2])) return refuse(fmt::format("{}: the chip must be an absolute hwmon path", verb));
    long index = 0;
    if (!parseBoundedNumber(args[3], kFirstFanIndex, kLastFanIndex, index)) {
        return refuse(fmt::format("{}: fan index '{}' is not a number from {} to {}", verb, args[3], kFirstFanIndex,
                                  kLastFanIndex));
    }
    long value = 0;
    if (!manual) {
        if (!parseBoundedNumber(args[4], 0, kMaxPwmEnable, value)) {
            return refuse(fmt::format("{}: '{}' is not a pwm_enable value from 0 to {}", verb, args[4], kMaxPwmEnable));
        }
        return FanAutoRequest{std::string(args[2]), static_cast<int>(index), static_cast<int>(value)};
    }
    if (!parseBoundedNumber(args[4], 0, kMaxFanRpm, value)) {
        return refuse(fmt::format("{}: '{}' is not a speed from 0 to {}", verb, args[4], kMaxFanRpm));
    }
    return FanManualRequest{std::string(args[2]), static_cast<int>(index), value};
}

}  // namespace

bool parseBoundedNumber(std::string_view text, long low, long high, long& out) {
    if (text.empty() || text.size() > 9 || (text.size() > 1 && text.front() == '0')) return false;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high) return false;
    out = value;
    return true;
}

HelperRequest parseHelperArguments(std::span<const std::string_view> arguments) {
    if (arguments.empty()) return refuse(std::string("no action given; ") + std::string(kUsage));
    // The words are the ones the polkit policy is written from: a verb this
    // parser took that the policy did not name would fall under whichever
    // action pkexec happened to find first.
    const HelperVerbAction* verb = helperVerbActionForWord(arguments[0]);
    if (verb == nullptr) return refuse(fmt::format("unknown action '{}'; {}", arguments[0], kUsage));
    switch (verb->verb) {
        case HelperVerb::lidDropIn: return parseLidDropIn(arguments);
        case HelperVerb::fan: return parseFan(arguments);
        case HelperVerb::installCli: return parseCliInstall(arguments);
    }
    return refuse(fmt::format("unknown action '{}'; {}", arguments[0], kUsage));
}

}  // namespace vigilo
