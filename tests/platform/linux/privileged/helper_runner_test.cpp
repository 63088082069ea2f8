// The privileged runner with real children on the daemon's loop: stand-ins
// for the helper and for pkexec are shell scripts the tests write, and the
// waiting pkexec holds at a FIFO until the test lets it go, so nothing here
// depends on how long anything takes but the deadlines themselves. The
// polkit cases run when tests/integration/test_helper_runner_polkit.py starts
// a private system bus with python-dbusmock's polkitd (VIGILO_POLKIT_MOCK).
#include "platform/linux/privileged/helper_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>

#include "common/temp_dir.h"
#include "platform/linux/privileged/helper_process.h"
#include "platform/linux/scoped_env.h"
#include "platform/linux/sd_event_loop.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;
using Result = PrivilegedRunner::Result;
using Status = Result::Status;
using Elevation = HelperRunner::Elevation;

std::filesystem::path script(const testing::TempDir& dir, const std::string& name, const std::string& body) {
    const auto path = dir.write(name, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
    return path;
}

// The stand-in helper: notes each run in `ran`, says its third word and
// exits with its second.
std::filesystem::path answeringHelper(const testing::TempDir& dir) {
    return script(dir, "helper", "echo \"$*\" >> '" + (dir / "ran").string() + "'\necho \"helper: $3\" >&2\nexit $2\n");
}

// A pkexec that never runs the helper: it notes its pid and waits at the
// verb's gate until the test opens it, then says what it read there.
struct WaitingPkexec {
    testing::TempDir dir;
    std::filesystem::path path;

    WaitingPkexec() {
        for (const char* verb : {"lid-drop-in", "fan"}) ::mkfifo((dir / (std::string(verb) + ".gate")).c_str(), 0600);
        const std::string at = "'" + dir.path().string() + "'/$2";
        path = script(dir, "pkexec", "echo $$ > " + at + ".pid\nread answer < " + at + ".gate\necho \"$2: $answer\" >&2\n");
    }
    // Blocks until the stand-in has opened the gate to read.
    void open(const std::string& verb, const std::string& answer) const {
        const int fd = ::open((dir / (verb + ".gate")).c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        const std::string line = answer + "\n";
        EXPECT_EQ(::write(fd, line.data(), line.size()), static_cast<ssize_t>(line.size()));
        ::close(fd);
    }
    pid_t pid(const std::string& verb) const {
        return static_cast<pid_t>(std::stol(testing::readFile(dir / (verb + ".pid")).value_or("-1")));
    }
};

// Gone for good: not running, and no zombie of ours left to reap.
bool reapedAndGone(pid_t pid) {
    const bool gone = ::kill(pid, 0) != 0 && errno == ESRCH;
    return gone && ::waitpid(pid, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

// One request on a fresh daemon loop (a loop runs once): the completion's
// answer, or a failure after ten seconds.
Result answerOnLoop(const std::filesystem::path& helper, Elevation elevation, const std::filesystem::path& pkexec,
                    std::vector<std::string> arguments, Consent consent) {
    SdEventLoop loop;
    HelperRunner runner(loop, helper, elevation, pkexec);
    std::optional<Result> answer;
    bool running = false;
    runner.run(std::move(arguments), consent, [&](const Result& result) {
        answer = result;
        if (running) loop.quit();
    });
    if (!answer) {
        running = true;
        auto guard = loop.startTimer(10s, [&] { loop.quit(); });
        loop.run();
    }
    return answer.value_or(Result{Status::failed, "no answer on the loop"});
}

TEST(RunToCompletion, ReportsTheExitKeepsStandardErrorAndBoundsTheWait) {
    // A descriptor of ours without close-on-exec, as an inhibitor lock could be.
    const int leaky = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaky, 3);
    const std::string leakCheck = "test -e /proc/self/fd/" + std::to_string(leaky) + " && echo leaked >&2; exit 3";
    const auto exited = runToCompletion({"/bin/sh", "-c", "echo first >&2; echo second >&2; " + leakCheck}, 5s);
    ::close(leaky);
    EXPECT_TRUE(exited.started);
    EXPECT_FALSE(exited.timedOut);
    EXPECT_EQ(exited.exitStatus, 3);
    EXPECT_EQ(exited.errorOutput, "first\nsecond\n");

    const auto start = std::chrono::steady_clock::now();
    const auto hung = runToCompletion({"/bin/sh", "-c", "exec sleep 30"}, 200ms);
    EXPECT_TRUE(hung.timedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

    const auto missing = runToCompletion({"/nonexistent/vigilo-helper"}, 5s);
    EXPECT_FALSE(missing.started);
    EXPECT_FALSE(missing.errorOutput.empty());
}

// The same answers on the loop and blocking: pkexec's own statuses count only
// where pkexec ran, and polkit is asked only for steps without a person.
TEST(HelperRunner, MapsTheExitStatusAndAsksPolkitOnlyForStepsWithoutAPerson) {
    testing::TempDir dir;
    const auto helper = answeringHelper(dir);
    const auto pkexec = script(dir, "pkexec", "exec \"$@\"\n");
    testing::ScopedEnv noBus("DBUS_SYSTEM_BUS_ADDRESS", testing::kNoSystemBus);
    struct Case {
        Elevation elevation;
        const char* exitStatus;
        Consent consent;
        Status expected;
        const char* message;
    };
    const char* noPolkit = "polkit could not be asked: ";
    for (const Case& c : {
             Case{Elevation::testBuild, "0", Consent::mayAsk, Status::done, "helper: said"},
             Case{Elevation::testBuild, "1", Consent::mayAsk, Status::failed, "helper: said"},
             Case{Elevation::testBuild, "2", Consent::mayAsk, Status::refused, "helper: said"},
             Case{Elevation::testBuild, "126", Consent::mayAsk, Status::failed, "helper: said"},
             Case{Elevation::pkexec, "0", Consent::mayAsk, Status::done, "helper: said"},
             Case{Elevation::pkexec, "2", Consent::mayAsk, Status::refused, "helper: said"},
             Case{Elevation::pkexec, "126", Consent::mayAsk, Status::notAllowed, "helper: said"},
             Case{Elevation::pkexec, "127", Consent::mayAsk, Status::notAllowed, "helper: said"},
             Case{Elevation::testBuild, "0", Consent::withoutAsking, Status::notAllowed, noPolkit},
             Case{Elevation::pkexec, "0", Consent::withoutAsking, Status::notAllowed, noPolkit},
             Case{Elevation::alreadyRoot, "0", Consent::withoutAsking, Status::done, "helper: said"},
         }) {
        SCOPED_TRACE(::testing::Message() << static_cast<int>(c.elevation) << " exit " << c.exitStatus);
        const std::vector<std::string> request{"lid-drop-in", c.exitStatus, "said"};
        const auto onLoop = answerOnLoop(helper, c.elevation, pkexec, request, c.consent);
        EXPECT_EQ(onLoop.status, c.expected);
        EXPECT_TRUE(onLoop.message.starts_with(c.message)) << onLoop.message;
        SdEventLoop loop;
        const auto blocking = HelperRunner(loop, helper, c.elevation, pkexec).runAndWait(request, c.consent);
        EXPECT_EQ(blocking.status, c.expected);
        EXPECT_TRUE(blocking.message.starts_with(c.message)) << blocking.message;
    }
    const auto ranBefore = testing::readFile(dir / "ran");
    for (const auto& request : std::vector<std::vector<std::string>>{{"fan-manual", "0", "said"}, {}}) {
        const auto unknown = answerOnLoop(helper, Elevation::alreadyRoot, pkexec, request, Consent::mayAsk);
        EXPECT_EQ(unknown.status, Status::refused) << "no verb of the helper's";
    }
    EXPECT_EQ(testing::readFile(dir / "ran"), ranBefore) << "refused without running";
}

TEST(HelperRunnerOnTheLoop, TheLoopTurnsWhileTheHelperWaitsAndTheSameVerbMeanwhileIsBusy) {
    WaitingPkexec pkexec;
    SdEventLoop loop;
    HelperRunner runner(loop, pkexec.dir / "helper", Elevation::pkexec, pkexec.path);
    std::vector<std::string> events;
    auto note = [&](const char* what) {
        return [&events, &loop, what](const Result& result) {
            events.push_back(std::string(what) + " " + std::to_string(static_cast<int>(result.status)) + " " +
                             result.message);
            if (events.size() == 4) loop.quit();
        };
    };
    runner.run({"lid-drop-in", "on"}, Consent::mayAsk, note("on"));
    runner.run({"fan", "auto", "/sys/x", "1", "2"}, Consent::mayAsk, note("fan"));
    EXPECT_TRUE(events.empty()) << "run() returns while the helpers wait";
    runner.run({"lid-drop-in", "off"}, Consent::mayAsk, note("off"));
    const std::string busy = "off " + std::to_string(static_cast<int>(Status::busy)) + " the helper's lid-drop-in is still running";
    EXPECT_EQ(events, std::vector<std::string>{busy}) << "answered at once, not queued";

    auto tick = loop.startTimer(1ms, [&] {
        events.push_back("timer");
        pkexec.open("lid-drop-in", "yes");
        pkexec.open("fan", "yes");
    });
    auto guard = loop.startTimer(10s, [&] { loop.quit(); });
    loop.run();
    const std::string done = " " + std::to_string(static_cast<int>(Status::done)) + " ";
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[1], "timer") << "the loop turned while both waited";
    EXPECT_EQ(std::set<std::string>(events.begin() + 2, events.end()),
              (std::set<std::string>{"on" + done + "lid-drop-in: yes", "fan" + done + "fan: yes"}));
    EXPECT_TRUE(reapedAndGone(pkexec.pid("lid-drop-in")));
    EXPECT_TRUE(reapedAndGone(pkexec.pid("fan")));
}

TEST(HelperRunnerOnTheLoop, AHelperPastItsDeadlineIsKilledAndReapedAndTheVerbFreed) {
    WaitingPkexec pkexec;
    SdEventLoop loop;
    HelperRunner runner(loop, pkexec.dir / "helper", Elevation::pkexec, pkexec.path, {.prompt = 1s});
    std::optional<Result> answer;
    bool goneAtAnswer = false;
    const auto start = std::chrono::steady_clock::now();
    runner.run({"lid-drop-in", "on"}, Consent::mayAsk, [&](const Result& result) {
        answer = result;
        goneAtAnswer = reapedAndGone(pkexec.pid("lid-drop-in"));
        loop.quit();
    });
    auto guard = loop.startTimer(10s, [&] { loop.quit(); });
    loop.run();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, Status::failed);
    EXPECT_TRUE(answer->message.ends_with("did not finish in time")) << answer->message;
    EXPECT_TRUE(goneAtAnswer) << "killed and reaped before the answer";
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

    const auto blocking = runner.runAndWait({"lid-drop-in", "off"}, Consent::mayAsk);
    EXPECT_EQ(blocking.status, Status::failed) << "the verb is free again, and this run too ends at its deadline";
    EXPECT_TRUE(reapedAndGone(pkexec.pid("lid-drop-in")));
}

// At quit the loop no longer turns: the runs still owed an answer are driven
// to their end on the quitting thread, the polkit question included, and so
// is a run that a completion starts, as an undo does.
TEST(HelperRunnerAfterTheLoop, FinishPendingAnswersEveryRunWithinItsDeadline) {
    WaitingPkexec pkexec;
    testing::ScopedEnv noBus("DBUS_SYSTEM_BUS_ADDRESS", testing::kNoSystemBus);
    SdEventLoop loop;
    HelperRunner runner(loop, pkexec.dir / "helper", Elevation::pkexec, pkexec.path, {.prompt = 1s});
    std::vector<std::string> answers;
    runner.run({"lid-drop-in", "on"}, Consent::mayAsk, [&](const Result& on) {
        answers.push_back(on.message);
        runner.run({"lid-drop-in", "off"}, Consent::withoutAsking,
                   [&](const Result& off) { answers.push_back(off.message); });
    });
    runner.run({"fan", "auto", "/sys/x", "1", "2"}, Consent::mayAsk,
               [&](const Result& fan) { answers.push_back(fan.message); });
    pkexec.open("fan", "yes");
    runner.finishPending();
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_TRUE(answers[0].ends_with("did not finish in time")) << answers[0];
    EXPECT_EQ(answers[1], "fan: yes");
    EXPECT_TRUE(answers[2].starts_with("polkit could not be asked: ")) << answers[2];
    EXPECT_TRUE(reapedAndGone(pkexec.pid("lid-drop-in")));
    EXPECT_TRUE(reapedAndGone(pkexec.pid("fan")));
}

// The mock allows closed-lid mode only, and never answers about the
// system-wide command: each verb is asked about under its own action, and a
// question polkit leaves hanging holds up neither the loop nor the others.
TEST(HelperRunnerOnMockPolkit, AsksAboutTheActionOfTheVerbItRunsWithoutHoldingTheLoop) {
    if (!std::getenv("VIGILO_POLKIT_MOCK")) GTEST_SKIP() << "needs tests/integration/test_helper_runner_polkit.py";
    testing::TempDir dir;
    const auto helper = answeringHelper(dir);
    SdEventLoop loop;
    HelperRunner runner(loop, helper, Elevation::testBuild, HelperRunner::kPkexec, {.polkit = 1s});
    std::map<std::string, Result> answers;
    std::vector<std::string> order;
    for (const std::vector<std::string>& request :
         {std::vector<std::string>{"lid-drop-in", "0", "said"}, {"fan", "0", "said"}, {"install-cli", "0", "said"}}) {
        runner.run(request, Consent::withoutAsking, [&, word = request[0]](const Result& result) {
            answers[word] = result;
            order.push_back(word);
            if (answers.size() == 3) loop.quit();
        });
    }
    auto tick = loop.startTimer(1ms, [&] { order.push_back("timer"); });
    auto guard = loop.startTimer(10s, [&] { loop.quit(); });
    loop.run();
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(order.back(), "install-cli") << "the hanging question ends at its own time-out";
    EXPECT_NE(std::find(order.begin(), order.end(), "timer"), order.end()) << "the loop turned meanwhile";
    EXPECT_EQ(answers["lid-drop-in"].status, Status::done);
    EXPECT_EQ(answers["fan"].status, Status::notAllowed);
    EXPECT_EQ(answers["fan"].message, "polkit does not allow com.vigilo.app.fan-control without asking");
    EXPECT_EQ(answers["install-cli"].status, Status::notAllowed);
    EXPECT_TRUE(answers["install-cli"].message.starts_with("polkit could not be asked: "));
    EXPECT_EQ(testing::readFile(dir / "ran"), "lid-drop-in 0 said\n") << "only the allowed verb ran";
}

TEST(HelperRunnerOnMockPolkit, AuthorizesTheActionOfTheVerbNamed) {
    if (!std::getenv("VIGILO_POLKIT_MOCK")) GTEST_SKIP() << "needs tests/integration/test_helper_runner_polkit.py";
    SdEventLoop loop;
    HelperRunner runner(loop, "/nonexistent/helper", Elevation::pkexec);
    std::map<HelperVerb, bool> allowed;
    for (HelperVerb verb : {HelperVerb::lidDropIn, HelperVerb::fan}) {
        runner.authorize(verb, [&, verb](bool yes) {
            allowed[verb] = yes;
            if (allowed.size() == 2) loop.quit();
        });
    }
    EXPECT_TRUE(allowed.empty()) << "the answer comes on the loop";
    auto guard = loop.startTimer(10s, [&] { loop.quit(); });
    loop.run();
    EXPECT_EQ(allowed, (std::map<HelperVerb, bool>{{HelperVerb::lidDropIn, true}, {HelperVerb::fan, false}}));
}

}  // namespace
}  // namespace vigilo
