#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/why/inhibitor_entry.h"
#include "platform/inhibitor_sources.h"

namespace vigilo {

// The names Vigilo's own locks carry in the services, so that they are
// recognised as ours in any list. The application's reasons are the ones
// its keep-awake and closed-lid mode give; wrap mode names its lock after
// the command, behind this prefix.
inline constexpr const char* kVigiloWho = "Vigilo";
inline constexpr const char* kVigiloKeepAwakeReason = "Vigilo keeping system awake";
inline constexpr const char* kVigiloClosedLidReason = "Vigilo keeping the computer running with the lid closed";
inline constexpr const char* kVigiloWrapPrefix = "vigilo:";
// The process name the application's own rows give: the command line tells
// them apart from wrap mode's rows in the application's answer by it.
inline constexpr const char* kVigiloApplicationCommand = "vigilo-app";

struct InhibitorMergeOptions {
    // Delay locks only on request: they make the system wait, not stay awake.
    bool includeDelay = false;
    // The person asking: their uid is the one GNOME's and KDE's locks
    // belong to, and only their own processes' command lines are shown.
    std::uint32_t userUid = 0;
    // The rows the running application gives of itself (see ownInhibitorRows);
    // they replace every lock it holds in the services. nullopt when no
    // application answered: its locks are then shown from the services.
    std::optional<std::vector<InhibitorEntry>> ownRows;
    // The application's pid, when known: its logind locks are ours whatever
    // their reason.
    std::optional<std::int64_t> applicationPid;
};

// One list from every source: gnome-session's folded logind row replaced by
// GNOME's own list, KDE's copies of logind rows shown once (as logind's),
// Vigilo's own locks gathered into its rows, systemd-inhibit shown as the
// command it runs. Sleep locks first, then idle, then lid and power keys,
// then the rest, each lock by the first of its kinds in that order; Vigilo's
// own rows come last, in the same order. Text is valid UTF-8.
std::vector<InhibitorEntry> mergeInhibitors(const InhibitorSnapshot& snapshot, const InhibitorMergeOptions& options);

// What the running application holds, for its own rows.
struct OwnKeepAwake {
    std::optional<std::string> reason;  // "Keep Awake", "Timer — 42 min left", ...; nullopt when nothing is held
    bool screen = false;                 // the screen is kept on as well
    bool closedLid = false;
    std::int64_t pid = 0;
    std::uint32_t uid = 0;
    std::string command;  // the application's process name
};
std::vector<InhibitorEntry> ownInhibitorRows(const OwnKeepAwake& own);

// The reason texts, as the tray says them.
std::string keepAwakeReasonText();
std::string timerReasonText(double secondsLeft);
std::string autoModeReasonText(const std::vector<std::string>& taskNames);
std::string runCommandReasonText();
std::string closedLidReasonText();

}  // namespace vigilo
