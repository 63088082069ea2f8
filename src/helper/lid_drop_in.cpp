#include "helper/lid_drop_in.h"

#include <system_error>

#include <fmt/format.h>

#include "helper/logind_reload.h"
#include "support/atomic_file.h"

namespace vigilo {
namespace {

constexpr std::string_view kDropIn =
    "[Login]\n"
    "HandleLidSwitch=ignore\n"
    "HandleLidSwitchExternalPower=ignore\n"
    "HandleLidSwitchDocked=ignore\n";

}  // namespace

HelperOutcome applyLidDropIn(bool on, const HelperRoots& roots) {
    const auto file = roots.run / "systemd" / "logind.conf.d" / "vigilo-lid.conf";
    if (on) {
        if (auto error = writeFileAtomically(file, kDropIn, 0644)) {
            return {kHelperFailed, fmt::format("cannot write {}: {}", file.string(), *error)};
        }
    } else {
        std::error_code error;
        std::filesystem::remove(file, error);
        if (error) return {kHelperFailed, fmt::format("cannot remove {}: {}", file.string(), error.message())};
    }
    return reloadLogind(roots.systemBus);
}

}  // namespace vigilo
