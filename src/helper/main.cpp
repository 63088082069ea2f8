// vigilo-helper: the few system changes the application may not make as a
// user, run through pkexec. Everything it does is named by its arguments;
// nothing comes from the caller's environment or from a shell.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "helper/helper_effects.h"

namespace {

vigilo::HelperRoots helperRoots() {
#ifdef VIGILO_HELPER_TEST_ROOT
    const std::filesystem::path root = VIGILO_HELPER_TEST_ROOT;
    return {root / "run", root / "sys", root / "proc", root / "usr" / "local"};
#else
    return {"/run", "/sys", "/proc", "/usr/local"};
#endif
}

bool mayRun() {
#ifdef VIGILO_HELPER_TEST_ROOT
    return true;  // the test build touches only its scratch tree
#else
    return ::geteuid() == 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    ::clearenv();
    ::umask(022);
    if (!mayRun()) {
        std::fputs("vigilo-helper: must run as root (through pkexec)\n", stderr);
        return vigilo::kHelperRefused;
    }
    std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const auto outcome = vigilo::carryOut(vigilo::parseHelperArguments(arguments), helperRoots());
    if (!outcome.message.empty()) std::fprintf(stderr, "vigilo-helper: %s\n", outcome.message.c_str());
    return outcome.status;
}
