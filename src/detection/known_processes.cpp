#include "detection/known_processes.h"

#include "detection/process_scan.h"
#include "detection/watcher_interpreters.h"
#include "support/utf8_text.h"

namespace vigilo {

void KnownProcesses::beginScan(const std::vector<std::string>& patterns) {
    if (patterns != patterns_) {
        entries_.clear();
        patterns_ = patterns;
    }
    ++scan_;
}

KnownProcesses::Verdict KnownProcesses::verdictOn(const DetectedProcess& process) {
    auto [it, added] = entries_.try_emplace(process.pid);
    Entry& entry = it->second;
    if (added || entry.name != process.name) {
        entry.name = process.name;
        entry.verdict = judge(process.name);
    }
    entry.lastScan = scan_;
    return entry.verdict;
}

void KnownProcesses::endScan() {
    std::erase_if(entries_, [&](const auto& item) { return item.second.lastScan != scan_; });
}

KnownProcesses::Verdict KnownProcesses::judge(const std::string& name) const {
    const std::string lowered = lowerCased(name);
    Verdict verdict;
    for (std::size_t i = 0; i < patterns_.size(); ++i) {
        if (!isSpecialPattern(patterns_[i]) && nameMatchesPattern(lowered, patterns_[i])) {
            verdict.plainPattern = i;
            return verdict;
        }
    }
    verdict.interpreter = watcherInterpreters().contains(lowered);
    return verdict;
}

}  // namespace vigilo
