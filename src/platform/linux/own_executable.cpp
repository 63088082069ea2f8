#include "platform/linux/own_executable.h"

#include <filesystem>
#include <system_error>

namespace vigilo {

std::string ownExecutablePath() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || path.empty()) return "/usr/bin/vigilo-app";
    return path.string();
}

}  // namespace vigilo
