#include "cli/command_on_path.h"

#include <algorithm>
#include <system_error>

namespace vigilo {

namespace fs = std::filesystem;

VigiloOnPath findVigiloOnPath(std::string_view pathVariable, const fs::path& ownWrapper, const IsProgram& isProgram) {
    VigiloOnPath found;
    const fs::path own = ownWrapper.lexically_normal();
    for (std::size_t start = 0; start <= pathVariable.size();) {
        const std::size_t end = std::min(pathVariable.find(':', start), pathVariable.size());
        const fs::path folder(pathVariable.substr(start, end - start));
        start = end + 1;
        if (!folder.is_absolute()) continue;
        const fs::path candidate = (folder / "vigilo").lexically_normal();
        if (!isProgram(candidate)) continue;
        if (candidate == own) {
            found.ours = true;
        } else if (!found.other) {
            found.other = candidate;
        }
    }
    return found;
}

bool isExecutableFile(const fs::path& path) {
    std::error_code error;
    const auto status = fs::status(path, error);
    constexpr auto anyExecute = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    return !error && fs::is_regular_file(status) && (status.permissions() & anyExecute) != fs::perms::none;
}

}  // namespace vigilo
