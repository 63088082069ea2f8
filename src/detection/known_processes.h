#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/process_table.h"

namespace vigilo {

// What each listed process's name made of it, kept from one scan to the
// next, so that a process whose name has not changed costs the scan one
// lookup instead of a test against every pattern (with a thousand
// processes, those tests were most of a poll's work outside the kernel).
// A verdict follows only from the name and the patterns, so a pid reused by
// another process of the same name rightly shares it, and a process that
// renames itself or execs another program is judged afresh. Command lines
// are never kept: an interpreter can change its own under the same name and
// pid, so they are read at every scan. Not thread-safe; it travels with the
// scan's input and result.
class KnownProcesses {
public:
    static constexpr std::size_t kNoPattern = static_cast<std::size_t>(-1);

    struct Verdict {
        std::size_t plainPattern = kNoPattern;  // index of the first plain pattern the name matches
        bool interpreter = false;               // no plain pattern matched, and the name is an interpreter's
    };

    // Starts a scan under `patterns` (normalised); verdicts made under other
    // patterns are forgotten.
    void beginScan(const std::vector<std::string>& patterns);
    // The verdict on `process`, made afresh when its pid is new to the cache
    // or its name changed.
    Verdict verdictOn(const DetectedProcess& process);
    // Forgets the pids this scan did not ask about.
    void endScan();

    std::size_t size() const { return entries_.size(); }

private:
    struct Entry {
        std::string name;
        Verdict verdict;
        std::uint32_t lastScan = 0;
    };

    Verdict judge(const std::string& name) const;

    std::vector<std::string> patterns_;
    std::unordered_map<std::int32_t, Entry> entries_;
    std::uint32_t scan_ = 0;
};

}  // namespace vigilo
