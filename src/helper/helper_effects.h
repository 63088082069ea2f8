#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

#include "helper/helper_request.h"

namespace vigilo {

// Where the helper's effects land and whom it trusts. The installed helper
// uses the real system and root; the test build is handed a scratch tree
// (and its owner in root's place) so the suite can check every write
// without root.
struct HelperRoots {
    std::filesystem::path run;
    std::filesystem::path sys;
    std::filesystem::path usrLocal;
    std::string systemBus;  // the D-Bus address systemd is asked on
    // A program root installs for every user must be owned by this user,
    // as must every folder on its way down from `trustedTop`.
    uid_t administrator = 0;
    std::filesystem::path trustedTop = "/";
};

// Status 0: done. 1: the system would not do it. 2: refused (bad argument).
struct HelperOutcome {
    int status = 0;
    std::string message;
    // A sentence the application shows a person as it is, rather than a
    // diagnostic under the helper's name.
    bool forPerson = false;
};

inline constexpr int kHelperFailed = 1;
inline constexpr int kHelperRefused = 2;

HelperOutcome carryOut(const HelperRequest& request, const HelperRoots& roots);

}  // namespace vigilo
