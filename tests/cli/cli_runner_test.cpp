#include "cli/cli_runner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "app/fake_power_management.h"
#include "ipc/ipc_client.h"

namespace vigilo {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

using testing::FakePowerManagement;

// Runs nothing: records what it was asked to run, a text as it is and an
// argument vector as [word][word]..., and whether the assertion was held.
struct FakeShell final : ShellLauncher {
    ShellRunResult result;
    std::function<void(const std::string&)> onRun;
    ShellRunResult runText(const std::string& text) override {
        onRun(text);
        return result;
    }
    ShellRunResult runArguments(const std::vector<std::string>& arguments) override {
        std::string shown;
        for (const auto& word : arguments) shown += '[' + word + ']';
        onRun(shown);
        return result;
    }
};

class CLIRunnerTest : public ::testing::Test {
protected:
    CLIRunnerTest() { power.nextId = 41; }
    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        CLIRunner runner(CliServices{
            .out = out,
            .err = err,
            .sendRequest =
                [this](const IPCRequest& request) {
                    sent.push_back(request);
                    if (clientError) throw *clientError;
                    return reply;
                },
            .makePowerManagement = [this] { return std::unique_ptr<PowerManagement>(new Forward(power)); },
            .makeShellLauncher =
                [this] {
                    auto shell = std::make_unique<FakeShell>();
                    shell->result = shellResult;
                    shell->onRun = [this](const std::string& text) {
                        shellCommands.push_back(text + (power.held.empty() ? "" : " (held)"));
                    };
                    return std::unique_ptr<ShellLauncher>(std::move(shell));
                },
        });
        return runner.run(args);
    }

    // Lets the test keep the fake after the runner's unique_ptr goes.
    struct Forward final : PowerManagement {
        explicit Forward(FakePowerManagement& p) : target(p) {}
        int createAssertion(AssertionKind k, const std::string& n, AssertionId& id) override {
            return target.createAssertion(k, n, id);
        }
        int releaseAssertion(AssertionId id) override { return target.releaseAssertion(id); }
        FakePowerManagement& target;
    };

    std::ostringstream out, err;
    std::vector<IPCRequest> sent;
    IPCResponse reply{.ok = true};
    std::optional<ClientError> clientError;
    FakePowerManagement power;
    ShellRunResult shellResult{.started = true, .exitStatus = 0};
    std::vector<std::string> shellCommands;
};

TEST_F(CLIRunnerTest, HelpAndVersion) {
    for (auto args : {std::vector<std::string>{}, {"-h"}, {"--help"}, {"help"}}) {
        EXPECT_EQ(run(args), 0);
        EXPECT_THAT(out.str(), ::testing::StartsWith("vigilo 1.0.0 \u2014 keep your computer awake"));
        EXPECT_THAT(out.str(), ::testing::EndsWith("vigilo notify \"Done\" \"{}\"\n"));
    }
    for (auto word : {"-v", "--version", "version"}) {
        EXPECT_EQ(run({word}), 0);
        EXPECT_EQ(out.str(), "vigilo 1.0.0\n");
    }
    EXPECT_TRUE(sent.empty());
}

TEST_F(CLIRunnerTest, UsageErrorsExitTwoWithoutSending) {
    EXPECT_EQ(run({"frobnicate"}), 2);
    EXPECT_EQ(err.str(), "Unknown command: frobnicate. Try `vigilo help`.\n");
    EXPECT_EQ(run({"Status"}), 2);  // commands are case-sensitive
    EXPECT_EQ(run({"--"}), 2);
    EXPECT_EQ(err.str(), "Usage: vigilo -- <command> [args...]\n");
    EXPECT_EQ(run({"watch"}), 2);
    EXPECT_EQ(err.str(), "Usage: vigilo watch <pattern...>\n");
    EXPECT_EQ(run({"unwatch"}), 2);
    EXPECT_EQ(err.str(), "Usage: vigilo unwatch <pattern...>\n");
    EXPECT_EQ(run({"timer"}), 2);
    EXPECT_EQ(err.str(), "Usage: vigilo timer <duration>  (3600, 90m, 1h30m, 45s)\n");
    // A blank command cannot be run; an empty argument after it can.
    for (auto blank : {"", " \t"}) {
        EXPECT_EQ(run({"--", blank}), 2);
        EXPECT_EQ(err.str(), "Usage: vigilo -- <command> [args...]\n");
        EXPECT_EQ(run({"--", blank, "x"}), 2);
    }
    EXPECT_TRUE(shellCommands.empty());
    EXPECT_EQ(run({"autowatch", "Maybe"}), 2);
    EXPECT_EQ(err.str(), "Unknown autowatch arg: Maybe. Use on|off|toggle.\n");
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(out.str().empty());
}

TEST_F(CLIRunnerTest, DaemonCommandsPrintMessageModeAndPatterns) {
    reply = {.ok = true, .message = "started", .mode = "Awake On"};
    EXPECT_EQ(run({"start", "now"}), 0);
    EXPECT_EQ(out.str(), "started\nmode: Awake On\n");
    EXPECT_EQ(err.str(), "");
    // A lock the system refused: same output and status, the reason on stderr.
    reply.warning = "no lock";
    EXPECT_EQ(run({"start"}), 0);
    EXPECT_EQ(out.str(), "started\nmode: Awake On\n");
    EXPECT_EQ(err.str(), "Warning: no lock\n");

    reply = {.ok = true, .mode = "Auto Mode"};
    EXPECT_EQ(run({"autowatch", "ON"}), 0);
    EXPECT_EQ(out.str(), "mode: Auto Mode\n");
    EXPECT_EQ(sent.back().enable, true);

    reply = {.ok = true, .patterns = std::vector<std::string>{"claude", "ollama"}};
    EXPECT_EQ(run({"patterns"}), 0);
    EXPECT_EQ(out.str(), "claude\nollama\n");
    EXPECT_EQ(run({"watch", "ollama"}), 0);
    EXPECT_EQ(out.str(), "");  // watch prints nothing on success

    reply = {.ok = true, .mode = "Awake Off"};
    EXPECT_EQ(run({"notify"}), 0);
    EXPECT_EQ(out.str(), "");  // notify never prints the mode
}

// A timer over the application's one-year cap runs capped, and says so.
TEST_F(CLIRunnerTest, TimerSendsItsSecondsAndSaysWhenItCapsThem) {
    reply = {.ok = true, .mode = "Timer Active"};
    const struct {
        const char* word;
        std::int64_t sent;
        const char* told;
    } cases[] = {
        {"90m", 5400, ""},
        {"3600", 3600, ""},
        {"8760h", 31'536'000, ""},
        {"8760h1s", 31'536'000, "Timer capped at one year.\n"},
        {"99999999h", 31'536'000, "Timer capped at one year.\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run({"timer", c.word}), 0) << c.word;
        EXPECT_EQ(sent.back().seconds, c.sent) << c.word;
        EXPECT_EQ(err.str(), c.told) << c.word;
        EXPECT_EQ(out.str(), "mode: Timer Active\n");
    }
}

TEST_F(CLIRunnerTest, FailuresExitOne) {
    reply = {.ok = false, .message = "bad request: nope"};
    EXPECT_EQ(run({"stop"}), 1);
    EXPECT_EQ(err.str(), "bad request: nope\n");
    // An application older than the command cannot decode its request.
    reply.message = "bad request: unknown command 'report'";
    EXPECT_EQ(run({"report"}), 1);
    EXPECT_EQ(err.str(), "The running Vigilo does not know this command; restart it.\n");
    reply = {.ok = true};
    EXPECT_EQ(run({"report", "--json"}), 1);
    EXPECT_EQ(err.str(), "Decode error: the reply carries no report\n");
    reply = {.ok = false};
    EXPECT_EQ(run({"stop"}), 1);
    EXPECT_EQ(err.str(), "error\n");

    clientError = ClientError::daemonNotRunning();
    EXPECT_EQ(run({"status"}), 1);
    EXPECT_EQ(err.str(), "Vigilo isn't running. Open the app first, then re-run.\n");
    clientError = ClientError::io("empty response");
    EXPECT_EQ(run({"start"}), 1);
    EXPECT_EQ(err.str(), "IO error: empty response\n");
    clientError = ClientError::decode("oops");
    EXPECT_EQ(run({"patterns"}), 1);
    EXPECT_EQ(err.str(), "Decode error: oops\n");
    EXPECT_EQ(out.str(), "");
}

TEST_F(CLIRunnerTest, StatusLinesArePaddedAndOptionalOnesLeftOut) {
    reply = {.ok = true, .mode = "Auto Mode", .assertionActive = true, .clamshellActive = false,
             .batteryPercent = 87, .isCharging = true, .thermal = "Normal",
             .tasks = std::vector<std::string>{"claude", "ollama"}};
    EXPECT_EQ(run({"status"}), 0);
    EXPECT_EQ(out.str(),
              "Mode:       Auto Mode\n"
              "Assertion:  active\n"
              "Clamshell:  off\n"
              "Battery:    87% (charging)\n"
              "Thermal:    Normal\n"
              "Tasks:      claude, ollama\n");

    EXPECT_EQ(run({"status", "--json"}), 0);
    EXPECT_EQ(out.str(),
              R"({"ok":true,"mode":"Auto Mode","assertionActive":true,"clamshellActive":false,"batteryPercent":87,)"
              R"("isCharging":true,"thermal":"Normal","tasks":["claude","ollama"]})"
              "\n");

    reply = {.ok = true, .tasks = std::vector<std::string>{}, .taskDetails = std::vector<TaskDetail>{}};
    EXPECT_EQ(run({"status"}), 0);
    EXPECT_EQ(out.str(), "Mode:       ?\nAssertion:  inactive\nClamshell:  off\n");
}

TEST_F(CLIRunnerTest, StatusTellsTasksOfOneNameApartByPidAndCommand) {
    reply = {.ok = true,
             .mode = "Auto Mode",
             .tasks = std::vector<std::string>{"python3", "python3", "ollama"},
             .taskDetails = std::vector<TaskDetail>{
                 {"python3", 4121, "/usr/bin/python3 train.py --epochs 100", true, 0, 41.6, 80.0, "process"},
                 {"python3", 4188, "python3 serve.py", false, 40, 0.0},
                 {"ollama", 977, "ollama", true, 0, std::nullopt, 12.0, "device"},
             }};
    EXPECT_EQ(run({"status"}), 0);
    EXPECT_THAT(out.str(), ::testing::EndsWith("Load:       python3 (CPU 42%, GPU 80%), python3 (CPU 0%), "
                                               "ollama (GPU 12%)\n"
                                               "Tasks:      python3, python3, ollama\n"
                                               "  python3 (pid 4121) train.py --epochs 100 \u2014 busy\n"
                                               "  python3 (pid 4188) serve.py \u2014 idle 40 s\n"
                                               "  ollama (pid 977) \u2014 busy\n"));

    EXPECT_EQ(run({"status", "--json"}), 0);
    EXPECT_THAT(out.str(), HasSubstr(R"("tasks":["python3","python3","ollama"],"taskDetails":[)"
                                     R"({"name":"python3","pid":4121,"command":"\/usr\/bin\/python3 train.py --epochs 100",)"
                                     R"("busy":true,"idleSeconds":0,"cpuPercent":41.6,"gpuPercent":80.0,)"
                                     R"("gpuSource":"process","active":true},)"));
    EXPECT_THAT(out.str(), HasSubstr(R"("cpuPercent":null,"gpuPercent":12.0,"gpuSource":"device","active":true})"));
}

TEST_F(CLIRunnerTest, WrapHoldsTheAssertionAroundTheShellAndReturnsItsStatus) {
    shellResult.exitStatus = 7;
    EXPECT_EQ(run({"--", "sh", "-c", "exit 7"}), 7);
    EXPECT_THAT(shellCommands, ElementsAre("[sh][-c][exit 7] (held)"));
    EXPECT_THAT(power.created, ElementsAre(AssertionKind::systemSleep));
    EXPECT_THAT(power.names, ElementsAre("vigilo: sh -c exit 7"));
    EXPECT_THAT(power.released, ElementsAre(41u));
    EXPECT_EQ(out.str() + err.str(), "");

    // A refused assertion does not stop the command.
    power.failures[AssertionKind::systemSleep] = 5;
    power.released.clear();
    shellResult.exitStatus = 0;
    EXPECT_EQ(run({"--", "true"}), 0);
    EXPECT_THAT(shellCommands, ElementsAre("[sh][-c][exit 7] (held)", "true"));
    EXPECT_TRUE(power.released.empty());
    EXPECT_EQ(err.str(), "");

    power.failures.clear();
    shellResult = {.started = false, .startError = "No such file or directory"};
    EXPECT_EQ(run({"--", "x"}), 127);
    EXPECT_EQ(err.str(), "Failed to start: No such file or directory\n");
    EXPECT_THAT(power.released, ElementsAre(42u));
}

// One word is shell text; more are an exact vector. The lock is named after
// the words joined, on one line and bounded.
TEST_F(CLIRunnerTest, WrapRunsOneWordAsTextAndMoreAsArguments) {
    const std::string huge(100 * 1024, 'a');
    const struct {
        std::vector<std::string> words;
        std::string ran;
        std::string lockName;
    } cases[] = {
        {{"make && make test"}, "make && make test", "vigilo: make && make test"},
        {{"python", "train.py", "--name", "exp 1"}, "[python][train.py][--name][exp 1]",
         "vigilo: python train.py --name exp 1"},
        {{"printf", "[%s]\n", ""}, "[printf][[%s]\n][]", "vigilo: printf [%s]  "},
        {{"echo", "$HOME", "*"}, "[echo][$HOME][*]", "vigilo: echo $HOME *"},
        {{"true # " + huge}, "true # " + huge, "vigilo: true # " + std::string(256 - 15, 'a')},
    };
    for (const auto& c : cases) {
        shellCommands.clear();
        power.names.clear();
        EXPECT_EQ(run([&] {
                      std::vector<std::string> args{"--"};
                      args.insert(args.end(), c.words.begin(), c.words.end());
                      return args;
                  }()),
                  0);
        EXPECT_THAT(shellCommands, ElementsAre(c.ran + " (held)")) << c.ran.substr(0, 40);
        EXPECT_THAT(power.names, ElementsAre(c.lockName));
    }
}

}  // namespace
}  // namespace vigilo
