#pragma once

#include <filesystem>
#include <functional>
#include <optional>

#include <nlohmann/json.hpp>

#include "platform/linux/desktop/kde_lid_record.h"

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
// What was changed is kept as a record (see kde_lid_record.h) that
// restore() accepts exactly as setDoNothing() gave it, and gives back byte
// for byte: the lines replaced, the keys and groups added, the file's last
// line break, the file itself when it was not there.
//
// Everything here is blocking file work for the main thread.
class KdeLidSettings {
public:
    static constexpr const char* kDoNothing = "0";

    // Called with the record before any file is written; returning false
    // (it could not be kept) cancels the change.
    using SaveFirst = std::function<bool(const nlohmann::json& record)>;

    explicit KdeLidSettings(std::filesystem::path configDir);

    // Sets every lid action found to "do nothing". Returns the record of
    // what was changed (no changes when all were already so), or nullopt
    // when nothing was changed: neither file could be read, one that needed
    // the change may not be written (a link to a missing file, a file or a
    // folder the user cannot write: closed-lid mode is not available on KDE
    // then, as the log says), or the record could not be saved. An
    // unreadable file (not text, too big, a folder) is logged and left as it
    // is. A record without changes needs no keeping: `saveFirst` is only
    // called when something is about to change.
    std::optional<nlohmann::json> setDoNothing(const SaveFirst& saveFirst);

    struct Restored {
        bool ok = false;       // every entry is back, or was changed since by someone else
        bool changed = false;  // a file was written
    };
    // Gives back what `record` says was changed, every entry that can be
    // even when another cannot. An entry that no longer says "do nothing"
    // was changed since by the user and is left alone; one already back is
    // left too, so restoring twice is harmless. A file that cannot be read
    // or written, and a malformed entry, make it not ok (logged).
    Restored restore(const nlohmann::json& record);

private:
    std::filesystem::path configDir_;
};

}  // namespace vigilo
