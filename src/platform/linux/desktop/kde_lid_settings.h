#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

#include <nlohmann/json.hpp>

namespace vigilo {

// The lid action of KDE's power manager in the user's configuration
// folder, per power profile (on AC, on battery, on low battery):
// - Plasma 6: powerdevilrc, "[<profile>][SuspendAndShutdown]", LidAction;
//   the key is only written when it differs from the default (sleep), so a
//   missing key or group is added.
// - Plasma 5: powermanagementprofilesrc, "[<profile>][HandleButtonEvents]",
//   lidAction; a profile without that group does not load the button
//   handling at all, so only groups that exist are changed.
// In both, 0 means "do nothing". Both files are handled whichever Plasma
// runs: each one ignores the other's file.
//
// The previous values are kept as a record, a JSON object that restore()
// accepts exactly as setDoNothing() gave it:
//   {"edits": [{"file": "powerdevilrc", "group": "[AC][SuspendAndShutdown]",
//               "key": "LidAction", "previous": "1"}, ...]}
// where "previous" is null for an entry that was absent.
//
// Everything here is blocking file work for the main thread.
class KdeLidSettings {
public:
    static constexpr const char* kDoNothing = "0";
    // Larger files are not KDE's: they are left alone.
    static constexpr std::uintmax_t kMaxFileBytes = 1024 * 1024;

    // Called with the record before any file is written; returning false
    // (it could not be kept) cancels the change.
    using SaveFirst = std::function<bool(const nlohmann::json& record)>;

    explicit KdeLidSettings(std::filesystem::path configDir);

    // Sets every lid action found to "do nothing". Returns the record of
    // what was changed (no edits when all were already so), or nullopt when
    // nothing was changed because neither file could be read or the record
    // could not be saved. An unreadable file (not text, too big, a folder)
    // is logged and left as it is. A record without edits needs no keeping:
    // `saveFirst` is only called when something is about to change.
    std::optional<nlohmann::json> setDoNothing(const SaveFirst& saveFirst);

    struct Restored {
        bool ok = false;       // every entry is back, or was changed since by someone else
        bool changed = false;  // a file was written
    };
    // Puts back the previous values of `record`. An entry that no longer
    // says "do nothing" was changed since by the user and is left alone;
    // one already back is left too, so restoring twice is harmless. A
    // malformed record changes nothing and is refused.
    Restored restore(const nlohmann::json& record);

private:
    std::filesystem::path configDir_;
};

}  // namespace vigilo
