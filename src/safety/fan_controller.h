#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "safety/smc.h"

namespace vigilo {

// Stateless fan access over the SMC keys FNum and FnAc, FnMn, FnMx, FnTg,
// FnMd. Any thread (the SMC serialises).
namespace FanController {

struct Reading {
    int id = 0;           // fan index, from 0
    double actual = 0;    // rpm
    double minRPM = 0;    // 0 when unreadable
    double maxRPM = 0;    // 0 when unreadable
    double target = 0;    // the actual speed when unreadable
    bool operator==(const Reading&) const = default;
};

// More fans than an 8-bit count can hold mean the count is garbage.
inline constexpr int kMaxFans = 255;

// "F" + decimal index + suffix; only the first four bytes reach the SMC.
std::string fanKey(int fan, const char* suffix);

// The number of fans; 0 when FNum cannot be read or decoded.
int count(SMC& smc);

// Every fan whose actual speed can be read, in index order.
std::vector<Reading> readAll(SMC& smc);

// Forced mode and the target clamped to the fan's range. True only if both
// writes succeeded. A target that does not fit "fpe2" is refused unwritten.
bool setTarget(SMC& smc, int fan, double rpm);

// The target as "fpe2", high byte first; nothing when it does not fit.
std::optional<std::array<std::uint8_t, 2>> encodeFpe2(double rpm);

// Automatic mode (F<n>Md = 0).
bool setAutomatic(SMC& smc, int fan);

}  // namespace FanController

}  // namespace vigilo
