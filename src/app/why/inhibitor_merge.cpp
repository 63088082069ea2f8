#include "app/why/inhibitor_merge.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <utility>

#include "support/tr.h"
#include "support/utf8_text.h"

namespace vigilo {

namespace {

// gnome-session takes one logind lock for all GNOME applications together.
constexpr const char* kGnomeFoldedReason = "user session inhibited";

std::vector<std::string> splitKinds(const std::string& text) {
    std::vector<std::string> kinds;
    std::string part;
    auto flush = [&] {
        if (!part.empty()) kinds.push_back(decodeUtf8Lossy(part));
        part.clear();
    };
    for (char c : text) {
        if (c == ':' || c == ',' || c == ' ') {
            flush();
        } else {
            part += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
    }
    flush();
    return kinds;
}

int kindRank(const std::string& kind) {
    if (kind == "sleep") return 0;
    if (kind == "idle") return 1;
    if (kind.starts_with("handle-")) return 2;  // lid switch, power, suspend, hibernate and reboot keys
    return 3;
}

int entryRank(const InhibitorEntry& entry) {
    int rank = 4;
    for (const auto& kind : entry.what) rank = std::min(rank, kindRank(kind));
    return rank;
}

std::vector<std::string> gnomeKinds(std::uint32_t flags) {
    static constexpr std::pair<std::uint32_t, const char*> kFlags[] = {
        {4, "sleep"}, {8, "idle"}, {1, "logout"}, {2, "user-switch"}, {16, "automount"}};
    std::vector<std::string> kinds;
    for (const auto& [bit, name] : kFlags) {
        if (flags & bit) kinds.emplace_back(name);
    }
    return kinds;
}

// Which of Vigilo's locks a service row is, if any.
enum class Ours { no, application, closedLid, wrap };

Ours vigiloLock(const std::string& who, const std::string& why, std::optional<std::int64_t> pid,
                const InhibitorMergeOptions& options) {
    if (who != kVigiloWho) return Ours::no;
    if (why == kVigiloClosedLidReason) return Ours::closedLid;
    if (why == kVigiloKeepAwakeReason) return Ours::application;
    if (why.starts_with(kVigiloWrapPrefix)) return Ours::wrap;
    if (pid && options.applicationPid && *pid == *options.applicationPid) return Ours::application;
    return Ours::no;
}

// The process to show for a logind lock: the command systemd-inhibit (or
// wrap mode) runs when it is the person's own, else the holder itself.
void setProcess(InhibitorEntry& entry, const LogindLock& lock, const InhibitorMergeOptions& options) {
    const auto& child = lock.holder.child;
    const bool launcher = lock.holder.name == "systemd-inhibit" || lock.why.starts_with(kVigiloWrapPrefix);
    if (launcher && child && child->owner == options.userUid && !child->commandLine.empty()) {
        entry.pid = child->pid;
        entry.command = decodeUtf8Lossy(child->commandLine);
        entry.endHint = trFormat("Ends when this command ends: quit it, or press Ctrl+C where it runs (pid {}).",
                                 child->pid);
        return;
    }
    entry.pid = lock.pid;
    if (!lock.holder.name.empty()) entry.command = decodeUtf8Lossy(lock.holder.name);
}

std::string ownEndHint(bool closedLid) {
    return closedLid ? tr("Switch off Closed-Lid Mode in Vigilo's menu.")
                     : tr("Choose Stop in Vigilo's menu, or run vigilo stop.");
}

// Vigilo's locks as read from the services, when no application described
// them: one row per lock of ours, whichever services hold it.
class OwnLocksSeen {
public:
    void add(Ours kind, const std::string& why, const InhibitorEntry& seen) {
        const std::string key = kind == Ours::wrap ? why : std::to_string(static_cast<int>(kind));
        auto [it, added] = rows_.try_emplace(key, seen);
        InhibitorEntry& row = it->second;
        if (added) {
            row.origin = InhibitorOrigin::vigilo;
            row.who = kVigiloWho;
            row.mode = "block";
            row.why = kind == Ours::closedLid ? closedLidReasonText()
                      : kind == Ours::wrap    ? runCommandReasonText()
                                              : keepAwakeReasonText();
            row.what = kind == Ours::closedLid ? std::vector<std::string>{"sleep", "handle-lid-switch"}
                                               : std::vector<std::string>{"sleep"};
            row.endHint = kind == Ours::wrap ? row.endHint : ownEndHint(kind == Ours::closedLid);
        } else if (!row.pid && seen.pid) {
            row.pid = seen.pid;
            row.command = seen.command;
            row.uid = seen.uid;
        }
    }
    std::vector<InhibitorEntry> rows() const {
        std::vector<InhibitorEntry> out;
        for (const auto& [key, row] : rows_) out.push_back(row);
        return out;
    }

private:
    std::map<std::string, InhibitorEntry> rows_;
};

class Merger {
public:
    Merger(const InhibitorSnapshot& snapshot, const InhibitorMergeOptions& options)
        : snapshot_(snapshot), options_(options) {}

    std::vector<InhibitorEntry> run() {
        if (snapshot_.logind) addLogind(*snapshot_.logind);
        if (snapshot_.gnome) addGnome(*snapshot_.gnome);
        if (snapshot_.kde) addKde(*snapshot_.kde);
        std::vector<InhibitorEntry> own = options_.ownRows.value_or(std::vector<InhibitorEntry>{});
        for (auto& row : seen_.rows()) own.push_back(std::move(row));
        auto byRank = [](const InhibitorEntry& a, const InhibitorEntry& b) { return entryRank(a) < entryRank(b); };
        std::stable_sort(others_.begin(), others_.end(), byRank);
        std::stable_sort(own.begin(), own.end(), byRank);
        std::vector<InhibitorEntry> all;
        for (auto* list : {&others_, &own}) {
            for (auto& entry : *list) {
                if (entry.mode == "delay" && !options_.includeDelay) continue;
                all.push_back(std::move(entry));
            }
        }
        return all;
    }

private:
    // Anyone else's lock is listed as it is. Ours are gathered into Vigilo's
    // rows: the application's replaced by the rows it gives of itself, wrap
    // mode's (which the application does not know of) one per command.
    void add(InhibitorEntry entry, const std::string& rawWho, const std::string& rawWhy,
             std::optional<std::int64_t> holderPid = std::nullopt) {
        const Ours ours = vigiloLock(rawWho, rawWhy, holderPid, options_);
        if (ours == Ours::no) {
            others_.push_back(std::move(entry));
        } else if (ours == Ours::wrap || !options_.ownRows) {
            seen_.add(ours, rawWhy, entry);
        }
    }

    void addLogind(const std::vector<LogindLock>& locks) {
        for (const auto& lock : locks) {
            if (snapshot_.gnome && lock.why == kGnomeFoldedReason) continue;  // GNOME's own list says more
            InhibitorEntry entry{.what = splitKinds(lock.what),
                                 .who = decodeUtf8Lossy(lock.who),
                                 .why = decodeUtf8Lossy(lock.why),
                                 .mode = decodeUtf8Lossy(lock.mode),
                                 .origin = InhibitorOrigin::logind,
                                 .uid = lock.uid};
            setProcess(entry, lock, options_);
            add(std::move(entry), lock.who, lock.why, lock.pid);
        }
    }

    void addGnome(const std::vector<GnomeLock>& locks) {
        for (const auto& lock : locks) {
            InhibitorEntry entry{.what = gnomeKinds(lock.flags),
                                 .who = decodeUtf8Lossy(lock.appId),
                                 .why = decodeUtf8Lossy(lock.reason),
                                 .mode = "block",
                                 .origin = InhibitorOrigin::gnome,
                                 .uid = options_.userUid};
            if (entry.what.empty()) continue;  // inhibits nothing
            if (lock.appId == "mutter" && lock.reason == "idle-inhibit") {
                entry.who = tr("Wayland window");
                entry.why = tr("A full-screen or video window (Wayland)");
            }
            add(std::move(entry), lock.appId, lock.reason);
        }
    }

    void addKde(const std::vector<KdeLock>& locks) {
        std::set<std::pair<std::string, std::string>> logindRows;
        if (snapshot_.logind) {
            for (const auto& lock : *snapshot_.logind) logindRows.emplace(lock.who, lock.why);
        }
        for (const auto& lock : locks) {
            if (logindRows.contains({lock.who, lock.why})) continue;  // KDE's copy of a logind lock
            InhibitorEntry entry{.what = splitKinds(lock.what),
                                 .who = decodeUtf8Lossy(lock.who),
                                 .why = decodeUtf8Lossy(lock.why),
                                 .mode = "block",  // what KDE holds, it blocks
                                 .origin = InhibitorOrigin::kde,
                                 .uid = options_.userUid};
            if (entry.what.empty()) entry.what = {"sleep"};
            add(std::move(entry), lock.who, lock.why);
        }
    }

    const InhibitorSnapshot& snapshot_;
    const InhibitorMergeOptions& options_;
    std::vector<InhibitorEntry> others_;
    OwnLocksSeen seen_;
};

}  // namespace

std::vector<InhibitorEntry> mergeInhibitors(const InhibitorSnapshot& snapshot, const InhibitorMergeOptions& options) {
    return Merger(snapshot, options).run();
}

std::vector<InhibitorEntry> ownInhibitorRows(const OwnKeepAwake& own) {
    std::vector<InhibitorEntry> rows;
    auto row = [&](std::vector<std::string> what, std::string why) {
        rows.push_back({.what = std::move(what),
                        .who = kVigiloWho,
                        .why = std::move(why),
                        .mode = "block",
                        .origin = InhibitorOrigin::vigilo,
                        .uid = own.uid,
                        .pid = own.pid,
                        .command = own.command});
    };
    if (own.reason) {
        row(own.screen ? std::vector<std::string>{"sleep", "idle"} : std::vector<std::string>{"sleep"}, *own.reason);
    }
    if (own.closedLid) row({"sleep", "handle-lid-switch"}, closedLidReasonText());
    for (auto& entry : rows) entry.endHint = ownEndHint(entry.why == closedLidReasonText());
    return rows;
}

std::string keepAwakeReasonText() { return tr("Keep Awake"); }

std::string timerReasonText(double secondsLeft) {
    const auto minutes = static_cast<long long>(std::ceil(std::max(secondsLeft, 0.0) / 60.0));
    return trFormat("Timer \u2014 {} min left", std::max(minutes, 1LL));
}

std::string autoModeReasonText(const std::vector<std::string>& taskNames) {
    std::string names;
    std::set<std::string> seen;
    for (const auto& name : taskNames) {
        if (!seen.insert(name).second) continue;
        if (!names.empty()) names += ", ";
        names += name;
    }
    if (names.empty()) return tr("Auto Mode");
    return trFormat("Auto Mode \u2014 {}", names);
}

std::string runCommandReasonText() { return tr("Running a command"); }

std::string closedLidReasonText() { return tr("Closed-lid mode"); }

}  // namespace vigilo
