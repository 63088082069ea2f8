#pragma once

#include <signal.h>
#include <spawn.h>

namespace vigilo {

// posix_spawn's file actions and attributes, destroyed with the object, for
// a child that starts with default signal handling and nothing blocked: the
// loop's threads block the signals it handles, and a child inherits that
// mask unless told otherwise. `extraFlags` adds to the signal flags (a
// process group, say).
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;

    explicit SpawnSetup(short extraFlags = 0) {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        const int flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | extraFlags;
        posix_spawnattr_setflags(&attributes, static_cast<short>(flags));
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace vigilo
