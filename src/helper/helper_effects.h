#pragma once

#include <filesystem>
#include <string>

#include "helper/helper_request.h"

namespace vigilo {

// Where the helper's effects land. The installed helper uses the real
// system; the test build compiles in a scratch tree so the suite can check
// every write without root.
struct HelperRoots {
    std::filesystem::path run;
    std::filesystem::path sys;
    std::filesystem::path proc;
    std::filesystem::path usrLocal;
};

// Status 0: done. 1: the system would not do it. 2: refused (bad argument).
struct HelperOutcome {
    int status = 0;
    std::string message;
};

inline constexpr int kHelperFailed = 1;
inline constexpr int kHelperRefused = 2;

HelperOutcome carryOut(const HelperRequest& request, const HelperRoots& roots);

}  // namespace vigilo
