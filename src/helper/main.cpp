// vigilo-helper: the few system changes the application may not make as a
// user, run through pkexec. Everything it does is named by its arguments;
// nothing comes from the caller's environment or from a shell.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "helper/helper_effects.h"

namespace {

#ifdef VIGILO_HELPER_TEST_BUILD
// The test build acts on a scratch tree each test names, laid out like /
// (run/, sys/, usr/local/), and trusts that tree's owner where the installed
// helper trusts root. It talks to the test's private system bus, or to one
// inside the tree, never to the real one. Read before the environment goes.
std::optional<vigilo::HelperRoots> helperRoots() {
    const char* named = std::getenv("VIGILO_HELPER_TEST_ROOT");
    std::error_code error;
    const auto root = std::filesystem::canonical(named != nullptr && named[0] == '/' ? named : "", error);
    struct stat info {};
    if (error || ::stat(root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return std::nullopt;
    const char* bus = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    return vigilo::HelperRoots{
        .run = root / "run",
        .sys = root / "sys",
        .usrLocal = root / "usr" / "local",
        .systemBus = bus != nullptr ? bus : "unix:path=" + (root / "run" / "dbus" / "system_bus_socket").string(),
        .administrator = info.st_uid,
        .trustedTop = root,
    };
}

constexpr const char* kCannotRun = "VIGILO_HELPER_TEST_ROOT must name the scratch tree (an absolute folder)";
#else
std::optional<vigilo::HelperRoots> helperRoots() {
    if (::geteuid() != 0) return std::nullopt;
    return vigilo::HelperRoots{.run = "/run",
                               .sys = "/sys",
                               .usrLocal = "/usr/local",
                               .systemBus = "unix:path=/run/dbus/system_bus_socket",
                               .administrator = 0,
                               .trustedTop = "/"};
}

constexpr const char* kCannotRun = "must run as root (through pkexec)";
#endif

}  // namespace

int main(int argc, char** argv) {
    const auto roots = helperRoots();
    ::clearenv();
    ::umask(022);
    if (!roots) {
        std::fprintf(stderr, "vigilo-helper: %s\n", kCannotRun);
        return vigilo::kHelperRefused;
    }
    std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const auto outcome = vigilo::carryOut(vigilo::parseHelperArguments(arguments), *roots);
    if (outcome.forPerson) {
        std::fprintf(stderr, "%s\n", outcome.message.c_str());
    } else if (!outcome.message.empty()) {
        std::fprintf(stderr, "vigilo-helper: %s\n", outcome.message.c_str());
    }
    return outcome.status;
}
