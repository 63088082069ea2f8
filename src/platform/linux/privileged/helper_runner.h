#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/linux/privileged/helper_process.h"
#include "platform/privileged_runner.h"
#include "support/log.h"
#include "support/loop.h"

namespace vigilo {

// How long the privileged runner lets each step take.
struct HelperRunTimeouts {
    std::chrono::milliseconds prompt{std::chrono::seconds(60)};  // a run that may ask for a password
    std::chrono::milliseconds quiet{std::chrono::seconds(10)};   // any other run
    std::chrono::milliseconds polkit{std::chrono::seconds(5)};   // polkit's answer without a prompt
};

// Runs vigilo-helper with a fixed argument list, never through a shell.
//
// How it is elevated depends on who we are: as root the helper is simply
// run; otherwise it goes through `pkexec <helper> ...`, which asks polkit for
// the verb's action (and shows the desktop's password prompt where the
// person is asked). Steps no person asked for first ask polkit whether the
// action is allowed without asking; when it is not, nothing is run, since
// pkexec without an agent only fails after a while, and a prompt out of the
// blue is worse.
//
// A run is a child the loop watches: its exit through a pidfd, its standard
// error as it comes, its deadline as a timer, so the loop (the socket, the
// bus, the tray) goes on answering while a password prompt is open. The
// polkit question goes to a background task for the same reason. A child
// past its deadline is killed and reaped; one that cannot be killed any more
// (pkexec has become the helper, running as root) is reaped when it ends. One
// run per verb at a time: a second request meanwhile is answered busy.
//
// The time-outs bound every run: a person gets a minute for the password,
// every other step a few seconds.
class HelperRunner final : public PrivilegedRunner {
public:
    enum class Elevation {
        alreadyRoot,  // run directly, nobody to ask
        pkexec,       // through pkexec, polkit asked first for steps without a person
        testBuild,    // polkit asked as for pkexec, then the test build run directly: it acts on a scratch tree
    };

    using Timeouts = HelperRunTimeouts;

    // pkexec where polkit's policy expects it; its actions name the helper
    // by absolute path too.
    static constexpr const char* kPkexec = "/usr/bin/pkexec";

    // The helper where the build installs it.
    static std::filesystem::path installedHelper();
    // alreadyRoot when the effective uid is 0, else pkexec.
    static Elevation elevationForThisProcess();

    // `loop` outlives the runner; completions and answers run on its thread.
    explicit HelperRunner(Loop& loop, std::filesystem::path helper = installedHelper(),
                          Elevation elevation = elevationForThisProcess(), std::filesystem::path pkexec = kPkexec,
                          Timeouts timeouts = {});
    ~HelperRunner() override;
    HelperRunner(const HelperRunner&) = delete;
    HelperRunner& operator=(const HelperRunner&) = delete;

    void run(std::vector<std::string> arguments, Consent consent, Completion done) override;
    Result runAndWait(std::vector<std::string> arguments, Consent consent) override;
    void authorize(HelperVerb verb, Answer done) override;

    // After the loop has stopped: drives every run still owed an answer to
    // its end on the calling thread, each bounded by its deadline, and calls
    // its completion there, also for runs those completions start.
    void finishPending();

private:
    struct Run;
    using RunId = std::uint64_t;

    Run* find(RunId id);
    std::optional<Result> admit(const std::vector<std::string>& arguments, std::string& word, std::string& action);
    void release(const std::string& word);
    bool asksPolkitFirst(Consent consent) const;
    std::chrono::milliseconds timeoutFor(Consent consent) const;
    std::vector<std::string> commandLine(const std::vector<std::string>& arguments) const;
    Result outcome(const HelperChild& child, bool timedOut) const;

    void askPolkit(RunId id);
    void polkitAnswered(RunId id);
    void startChild(RunId id);
    void errorOutputReadable(RunId id);
    void exited(RunId id);
    void deadlinePassed(RunId id);
    void finish(RunId id, const Result& result);
    void keepUntilReaped(const std::string& word, std::shared_ptr<HelperChild> child);

    Logger log_{"Privileged"};
    Loop& loop_;
    std::filesystem::path helper_;
    Elevation elevation_;
    std::filesystem::path pkexec_;
    Timeouts timeouts_;
    std::map<RunId, std::unique_ptr<Run>> runs_;  // loop thread only
    RunId nextId_ = 1;
    // The verbs with a run under way, of either kind: runAndWait() comes
    // from background threads.
    std::mutex busyMutex_;
    std::set<std::string, std::less<>> busyWords_;
    LifeToken life_;
};

}  // namespace vigilo
