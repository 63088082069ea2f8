#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/system_command_install.h"
#include "support/xdg_paths.h"

namespace vigilo {

// The system-wide `vigilo` command through the privileged helper's
// install-cli action, asked for with pkexec (polkit shows the prompt, or
// pkttyagent in a terminal); run directly when already root. Blocks until
// the helper is done, as the administrator's prompt is modal anyway.
class PkexecCommandInstall final : public SystemCommandInstall {
public:
    // Through the installed vigilo-helper, whose path polkit knows.
    PkexecCommandInstall();
    // For tests: another helper and another program in pkexec's place, and
    // whether to ask at all.
    PkexecCommandInstall(std::filesystem::path helper, std::string pkexec, bool alreadyRoot);
    // The installed helper, or the suite's test build of it where
    // VIGILO_TEST_HELPER names one, run directly, without pkexec: it runs
    // with the rights of whoever set our environment, and gains none. Its
    // command is under VIGILO_HELPER_TEST_ROOT, where that build writes.
    static PkexecCommandInstall forEnvironment(const XdgEnvironment& env);

    std::optional<std::string> install(const std::string& executable) override;
    std::optional<std::string> remove() override;
    std::filesystem::path commandPath() const override { return command_; }

private:
    std::optional<std::string> runHelper(const std::vector<std::string>& arguments);

    std::filesystem::path helper_;
    std::string pkexec_;
    bool alreadyRoot_;
    std::filesystem::path command_ = "/usr/local/bin/vigilo";
};

}  // namespace vigilo
