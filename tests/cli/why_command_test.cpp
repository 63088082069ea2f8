#include <gtest/gtest.h>

#include <sstream>

#include "app/why/inhibitor_merge.h"
#include "cli/cli_runner.h"
#include "ipc/ipc_client.h"

namespace vigilo {
namespace {

class ReadOnce final : public InhibitorSources {
public:
    explicit ReadOnce(InhibitorSnapshot snapshot) : snapshot_(std::move(snapshot)) {}
    InhibitorSnapshot read() override { return snapshot_; }
    Handle watch(std::function<void()>) override { return {}; }

private:
    InhibitorSnapshot snapshot_;
};

struct WhyRun {
    int status;
    std::string out;
    std::string err;
};

// `vigilo <args>` with these services: the sources' snapshot (none: the module
// is missing) and the application's answer (none: it is not running).
WhyRun why(const std::vector<std::string>& args, std::optional<InhibitorSnapshot> snapshot,
        std::optional<std::vector<InhibitorEntry>> application) {
    std::ostringstream out, err;
    CLIRunner runner(CliServices{
        .out = out,
        .err = err,
        .sendRequest =
            [&](const IPCRequest& request) {
                EXPECT_EQ(request.cmd, IPCCommand::why);
                EXPECT_EQ(request.own, true);  // the services are read here, not twice
                if (!application) throw ClientError::io("No such file or directory");
                return IPCResponse{.ok = true, .inhibitors = application};
            },
        .makeInhibitorSources =
            [&]() -> std::unique_ptr<InhibitorSources> {
            if (!snapshot) return nullptr;
            return std::make_unique<ReadOnce>(*snapshot);
        },
        .terminalWidth = [] { return std::optional<std::size_t>(); },
        .userUid = 1000,
    });
    WhyRun result{.status = runner.run(args)};
    result.out = out.str();
    result.err = err.str();
    return result;
}

const InhibitorSnapshot kBackup{.logind = std::vector<LogindLock>{
                                    {.what = "sleep", .who = "backup", .why = "Nightly", .mode = "block", .pid = 9},
                                    {.what = "idle", .who = "Vigilo", .why = kVigiloKeepAwakeReason, .pid = 880},
                                    {.what = "idle", .who = "Vigilo", .why = "vigilo: make", .pid = 300}}};

// The application's answer gives only its own rows, a command it runs
// included; wrap mode's lock and everyone else's come from the services.
TEST(WhyCommand, TakesTheApplicationsOwnRowsAndReadsTheRestItself) {
    auto running = ownInhibitorRows({.reason = runCommandReasonText(), .pid = 880, .uid = 1000,
                                     .command = kVigiloApplicationCommand});
    auto answer = running;
    answer.push_back({.what = {"sleep"}, .who = "stale", .why = "from the app's list", .mode = "block"});
    answer.push_back({.what = {"sleep"}, .who = "Vigilo", .why = "Running a command", .mode = "block",
                      .origin = InhibitorOrigin::vigilo, .pid = 301, .command = "make"});

    const WhyRun run = why({"why"}, kBackup, answer);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "Keeping this computer awake:\n"
              "  sleep   backup   Nightly             (pid 9)                logind\n"
              "  sleep   Vigilo   Running a command   vigilo-app (pid 880)   Vigilo\n"
              "  sleep   Vigilo   Running a command   (pid 300)              Vigilo\n");
}

TEST(WhyCommand, FailsOnlyWhenNothingCouldBeReadAndRefusesUnknownOptions) {
    const struct {
        std::vector<std::string> args;
        std::optional<InhibitorSnapshot> snapshot;
        std::optional<std::vector<InhibitorEntry>> application;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {{"why"}, InhibitorSnapshot{.failures = {"logind: not running"}}, std::nullopt, 1, "",
         "Could not read what keeps this computer awake: logind: not running\n"},
        {{"why"}, std::nullopt, std::nullopt, 1, "",
         "Could not read what keeps this computer awake: the system module is missing or cannot be loaded\n"},
        {{"why"}, InhibitorSnapshot{}, std::vector<InhibitorEntry>{}, 0, "Nothing keeps this computer awake.\n", ""},
        {{"why", "--json"}, InhibitorSnapshot{.logind = std::vector<LogindLock>{}}, std::nullopt, 0, "[]\n", ""},
        {{"why", "--all", "--verbose"}, kBackup, std::nullopt, 2, "", "Usage: vigilo why [--json] [--all]\n"},
    };
    for (const auto& c : cases) {
        const WhyRun run = why(c.args, c.snapshot, c.application);
        EXPECT_EQ((std::tuple{run.status, run.out, run.err}), (std::tuple{c.status, c.out, c.err}));
    }
}

}  // namespace
}  // namespace vigilo
