#pragma once

#include <chrono>
#include <filesystem>

#include "platform/privileged_runner.h"
#include "support/log.h"

namespace vigilo {

// Runs vigilo-helper with a fixed argument list, never through a shell.
//
// How it is elevated depends on who we are: as root the helper is simply
// run; otherwise it goes through `pkexec <helper> ...`, which asks polkit for
// the helper's action (and shows the desktop's password prompt where the
// person is asked). Steps no person asked for first ask polkit whether the
// action is allowed without asking; when it is not, nothing is run, since
// pkexec without an agent only fails after a while, and a prompt out of the
// blue is worse.
//
// The call blocks its thread until the helper ends: these are single small
// writes, done in well under a second, and the caller needs the answer
// (closed-lid mode on or not). The time-outs bound it: a person gets a
// minute for the password, every other step a few seconds.
class HelperRunner final : public PrivilegedRunner {
public:
    enum class Elevation {
        alreadyRoot,  // run directly, nobody to ask
        pkexec,       // through pkexec, polkit asked first for steps without a person
        testBuild,    // polkit asked as for pkexec, then the test build run directly: it acts on a scratch tree
    };

    static constexpr std::chrono::seconds kPromptTimeout{60};
    static constexpr std::chrono::seconds kQuietTimeout{10};
    static constexpr std::chrono::seconds kPolkitTimeout{5};

    // The helper where the build installs it.
    static std::filesystem::path installedHelper();
    // alreadyRoot when the effective uid is 0, else pkexec.
    static Elevation elevationForThisProcess();

    explicit HelperRunner(std::filesystem::path helper = installedHelper(),
                          Elevation elevation = elevationForThisProcess());

    Result run(const char* action, const std::vector<std::string>& arguments, Consent consent) override;
    bool authorize(const char* action) override;

private:
    std::vector<std::string> commandLine(const std::vector<std::string>& arguments) const;

    Logger log_{"Privileged"};
    std::filesystem::path helper_;
    Elevation elevation_;
};

}  // namespace vigilo
