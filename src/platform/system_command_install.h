#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vigilo {

// Writes or removes the system-wide `vigilo` command, which needs the
// administrator's consent. Both calls block until the person has answered
// the prompt and the change is done; main thread only.
class SystemCommandInstall {
public:
    virtual ~SystemCommandInstall() = default;

    // The command runs `executable` with --cli. Each returns nothing on
    // success, or why not (the prompt was cancelled, the change failed).
    virtual std::optional<std::string> install(const std::string& executable) = 0;
    virtual std::optional<std::string> remove() = 0;
    // The file the two change, to look at before asking anyone.
    virtual std::filesystem::path commandPath() const { return "/usr/local/bin/vigilo"; }
};

}  // namespace vigilo
