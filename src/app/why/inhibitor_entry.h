#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace vigilo {

// Where a lock was read. Vigilo's own locks are one source of their own,
// whichever service holds them for it.
enum class InhibitorOrigin { logind, gnome, kde, vigilo };

// One lock that keeps the computer (or its screen) awake, as `vigilo why`
// shows it and the `why` reply carries it.
struct InhibitorEntry {
    std::vector<std::string> what;  // "sleep", "idle", "handle-lid-switch", ...
    std::string who;
    std::string why;
    std::string mode;  // "block", "block-weak" or "delay"
    InhibitorOrigin origin = InhibitorOrigin::logind;
    std::uint32_t uid = 0;
    // The process the person should look at, when known: pid and command go
    // together (a command line, or the kernel's name for it).
    std::optional<std::int64_t> pid;
    std::optional<std::string> command;
    // How the person can end it, for their own systemd-inhibit and Vigilo
    // locks; empty for everyone else's. Not on the wire.
    std::string endHint;

    bool blocks(const std::string& kind) const;
    bool operator==(const InhibitorEntry&) const = default;
};

std::string originName(InhibitorOrigin origin);           // "logind", "gnome", "kde", "vigilo"
std::string originLabel(InhibitorOrigin origin);          // "logind", "GNOME", "KDE", "Vigilo"
std::optional<InhibitorOrigin> originNamed(const std::string& name);

// The wire form: exactly what, who, why, mode, source, uid, pid, command,
// in that order, null for an unknown pid and command.
nlohmann::ordered_json inhibitorsToJson(const std::vector<InhibitorEntry>& entries);
// The list cut for a reply that must stay within the socket's 64 KiB: each
// text at most kMaxInhibitorTextBytes (at a character), Vigilo's own rows
// always kept, others kept in order while the whole fits kMaxInhibitorsBytes.
inline constexpr std::size_t kMaxInhibitorTextBytes = 256;
inline constexpr std::size_t kMaxInhibitorsBytes = 48 * 1024;
std::vector<InhibitorEntry> boundedInhibitors(std::vector<InhibitorEntry> entries);

// Throws JsonTypeError when the array or one of its objects is malformed.
std::vector<InhibitorEntry> inhibitorsFromJson(const nlohmann::json& array);

}  // namespace vigilo
