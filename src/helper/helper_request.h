#pragma once

#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace vigilo {

// The helper's whole vocabulary; the verbs are the words of
// platform/helper_verbs.h. Every field is already range-checked; the chip
// path is only known to be absolute until it is resolved against /sys.
struct LidDropInRequest {
    bool on = false;
};

// `fan manual <chip> <index> <value>`
struct FanManualRequest {
    std::string chipPath;
    int index = 0;
    long value = 0;  // 51..255 for pwmN (checked against the chip), rpm 0..100000 for fanN_target/fanN_output
};

// `fan auto <chip> <index> <pwm_enable value>`
struct FanAutoRequest {
    std::string chipPath;
    int index = 0;
    int enableValue = 0;
};

// Installs the system-wide `vigilo` wrapper for `executable`, or removes it
// when `executable` is empty (the word "remove").
struct CliInstallRequest {
    std::string executable;
};

struct RefusedRequest {
    std::string reason;
};

using HelperRequest = std::variant<LidDropInRequest, FanManualRequest, FanAutoRequest, CliInstallRequest, RefusedRequest>;

inline constexpr int kFirstFanIndex = 1;
inline constexpr int kLastFanIndex = 32;
inline constexpr long kMaxFanRpm = 100000;
inline constexpr int kMaxPwmEnable = 9;

// Reads the arguments after the program name. Pure: touches no file.
HelperRequest parseHelperArguments(std::span<const std::string_view> arguments);

// A decimal number with no sign, spaces or leading zeros, within [low, high].
bool parseBoundedNumber(std::string_view text, long low, long high, long& out);

}  // namespace vigilo
