#include "platform/linux/privileged/helper_runner.h"

#include <unistd.h>

#include <algorithm>
#include <future>
#include <utility>

#include <fmt/format.h>

#include "platform/linux/privileged/polkit_authority.h"

namespace vigilo {
namespace {

using Status = PrivilegedRunner::Result::Status;
using SteadyClock = HelperChild::Clock;

// pkexec's own verdicts: the prompt was dismissed, or not authorised / no agent.
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorized = 127;
// The helper's: a request outside its vocabulary or naming nothing it can change.
constexpr int kHelperRefusedStatus = 2;
// polkit's own time-out bounds its answer; this covers opening the bus.
constexpr std::chrono::seconds kPolkitGrace{2};

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

struct PolkitAnswer {
    std::optional<bool> allowed;  // nullopt: polkit could not be asked
    std::string why;
};

PolkitAnswer askPolkitNow(const std::string& action, PolkitQuestion question, std::chrono::milliseconds timeout) {
    PolkitAnswer answer;
    answer.allowed = polkitAuthorizes(action.c_str(), question, timeout, answer.why);
    return answer;
}

// Why a step without a person may not go ahead; nullopt when it may.
std::optional<PrivilegedRunner::Result> refusalOf(const PolkitAnswer& answer, const std::string& action) {
    if (!answer.allowed) return PrivilegedRunner::Result{Status::notAllowed, "polkit could not be asked: " + answer.why};
    if (!*answer.allowed) {
        return PrivilegedRunner::Result{Status::notAllowed, fmt::format("polkit does not allow {} without asking", action)};
    }
    return std::nullopt;
}

}  // namespace

// One run on the loop: first polkit's answer, then the child, until the
// completion has had its answer and the child is reaped.
struct HelperRunner::Run {
    std::string word;
    std::string action;
    std::vector<std::string> argv;
    Consent consent = Consent::withoutAsking;
    Completion done;  // empty once answered, while a child past its deadline is still to be reaped
    std::shared_future<PolkitAnswer> polkit;  // valid while polkit is being asked
    std::shared_ptr<HelperChild> child;
    SteadyClock::time_point deadline;
    // After the child: the watches end before its descriptors close.
    Handle exitWatch;
    Handle errorWatch;
    Handle deadlineTimer;
};

std::filesystem::path HelperRunner::installedHelper() { return VIGILO_HELPER_PATH; }

HelperRunner::Elevation HelperRunner::elevationForThisProcess() {
    return ::geteuid() == 0 ? Elevation::alreadyRoot : Elevation::pkexec;
}

HelperRunner::HelperRunner(Loop& loop, std::filesystem::path helper, Elevation elevation, std::filesystem::path pkexec,
                           Timeouts timeouts)
    : loop_(loop), helper_(std::move(helper)), elevation_(elevation), pkexec_(std::move(pkexec)), timeouts_(timeouts) {}

HelperRunner::~HelperRunner() = default;

void HelperRunner::run(std::vector<std::string> arguments, Consent consent, Completion done) {
    if (!done) done = [](const Result&) {};
    std::string word, action;
    if (auto refusal = admit(arguments, word, action)) return done(*refusal);
    const RunId id = nextId_++;
    auto run = std::make_unique<Run>();
    run->word = std::move(word);
    run->action = std::move(action);
    run->argv = commandLine(arguments);
    run->consent = consent;
    run->done = std::move(done);
    runs_.emplace(id, std::move(run));
    if (asksPolkitFirst(consent)) {
        askPolkit(id);
    } else {
        startChild(id);
    }
}

PrivilegedRunner::Result HelperRunner::runAndWait(std::vector<std::string> arguments, Consent consent) {
    std::string word, action;
    if (auto refusal = admit(arguments, word, action)) return *refusal;
    if (asksPolkitFirst(consent)) {
        if (auto refusal = refusalOf(askPolkitNow(action, PolkitQuestion::withoutAsking, timeouts_.polkit), action)) {
            release(word);
            return *refusal;
        }
    }
    std::string why;
    std::shared_ptr<HelperChild> child = HelperChild::start(commandLine(arguments), ChildInput::none, why);
    if (!child) {
        release(word);
        return {Status::failed, fmt::format("cannot run {}: {}", helper_.string(), why)};
    }
    const bool exited = child->waitUntil(SteadyClock::now() + timeoutFor(consent));
    const Result result = outcome(*child, !exited);
    if (!exited && !child->killAndReap()) {
        keepUntilReaped(word, std::move(child));
        return result;
    }
    release(word);
    return result;
}

void HelperRunner::authorize(HelperVerb verb, Answer done) {
    if (elevation_ == Elevation::alreadyRoot) return done(true);
    std::string action(helperVerbAction(verb).actionId);
    loop_.runInBackground(
        [action, timeout = timeouts_.prompt] { return askPolkitNow(action, PolkitQuestion::mayAsk, timeout); },
        [this, weak = life_.weak(), action, done = std::move(done)](const PolkitAnswer& answer) {
            if (!weak.lock()) return;
            if (!answer.allowed) log_.error("polkit could not be asked for {}: {}", action, answer.why);
            done(answer.allowed.value_or(false));
        });
}

void HelperRunner::finishPending() {
    for (;;) {
        const auto owed = std::find_if(runs_.begin(), runs_.end(),
                                       [](const auto& entry) { return static_cast<bool>(entry.second->done); });
        if (owed == runs_.end()) return;
        const RunId id = owed->first;
        Run& run = *owed->second;
        if (run.polkit.valid()) {
            if (run.polkit.wait_for(timeouts_.polkit + kPolkitGrace) == std::future_status::ready) {
                polkitAnswered(id);
            } else {
                finish(id, {Status::notAllowed, "polkit did not answer"});
            }
        } else if (run.child->waitUntil(run.deadline)) {
            finish(id, outcome(*run.child, false));
        } else {
            deadlinePassed(id);
        }
    }
}

HelperRunner::Run* HelperRunner::find(RunId id) {
    const auto found = runs_.find(id);
    return found == runs_.end() ? nullptr : found->second.get();
}

// Why the request cannot go ahead, or nullopt with its verb now taken.
std::optional<PrivilegedRunner::Result> HelperRunner::admit(const std::vector<std::string>& arguments,
                                                            std::string& word, std::string& action) {
    const HelperVerbAction* verb = arguments.empty() ? nullptr : helperVerbActionForWord(arguments.front());
    if (verb == nullptr) {
        return Result{Status::refused,
                      fmt::format("'{}' is not a request of the helper's", arguments.empty() ? "" : arguments.front())};
    }
    word = verb->word;
    action = verb->actionId;
    std::lock_guard lock(busyMutex_);
    if (!busyWords_.insert(word).second) return Result{Status::busy, fmt::format("the helper's {} is still running", word)};
    return std::nullopt;
}

void HelperRunner::release(const std::string& word) {
    std::lock_guard lock(busyMutex_);
    busyWords_.erase(word);
}

bool HelperRunner::asksPolkitFirst(Consent consent) const {
    return elevation_ != Elevation::alreadyRoot && consent == Consent::withoutAsking;
}

std::chrono::milliseconds HelperRunner::timeoutFor(Consent consent) const {
    return consent == Consent::mayAsk ? timeouts_.prompt : timeouts_.quiet;
}

std::vector<std::string> HelperRunner::commandLine(const std::vector<std::string>& arguments) const {
    std::vector<std::string> argv;
    if (elevation_ == Elevation::pkexec) argv.push_back(pkexec_.string());
    argv.push_back(helper_.string());
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return argv;
}

PrivilegedRunner::Result HelperRunner::outcome(const HelperChild& child, bool timedOut) const {
    if (timedOut) return {Status::failed, fmt::format("{} did not finish in time", helper_.string())};
    const std::string said = firstLine(child.errorOutput());
    const int status = child.exitStatus();
    if (elevation_ == Elevation::pkexec && (status == kPkexecDismissed || status == kPkexecNotAuthorized)) {
        return {Status::notAllowed, said.empty() ? "not authorised" : said};
    }
    if (status == 0) return {Status::done, said};
    if (status == kHelperRefusedStatus) return {Status::refused, said};
    return {Status::failed, said.empty() ? fmt::format("exit status {}", status) : said};
}

// polkit's answer is a D-Bus call of up to its time-out: a background task
// asks, and the loop hears of it. The answer also waits in the future for
// finishPending(), when the loop has stopped turning.
void HelperRunner::askPolkit(RunId id) {
    auto promise = std::make_shared<std::promise<PolkitAnswer>>();
    runs_.at(id)->polkit = promise->get_future().share();
    loop_.runInBackground([this, id, promise, action = runs_.at(id)->action, timeout = timeouts_.polkit,
                           &loop = loop_, weak = life_.weak()] {
        promise->set_value(askPolkitNow(action, PolkitQuestion::withoutAsking, timeout));
        loop.post([this, id, weak] {
            if (weak.lock()) polkitAnswered(id);
        });
    });
}

void HelperRunner::polkitAnswered(RunId id) {
    Run* run = find(id);
    if (run == nullptr || !run->polkit.valid()) return;
    const PolkitAnswer answer = run->polkit.get();
    run->polkit = {};
    if (auto refusal = refusalOf(answer, run->action)) return finish(id, *refusal);
    startChild(id);
}

void HelperRunner::startChild(RunId id) {
    Run& run = *runs_.at(id);
    std::string why;
    run.child = HelperChild::start(run.argv, ChildInput::none, why);
    if (!run.child) return finish(id, {Status::failed, fmt::format("cannot run {}: {}", helper_.string(), why)});
    const auto timeout = timeoutFor(run.consent);
    run.deadline = SteadyClock::now() + timeout;
    run.exitWatch = loop_.watchReadable(run.child->exitFd(), [this, id] { exited(id); });
    run.errorWatch = loop_.watchReadable(run.child->errorFd(), [this, id] { errorOutputReadable(id); });
    run.deadlineTimer = loop_.startTimer(timeout, [this, id] { deadlinePassed(id); });
}

void HelperRunner::errorOutputReadable(RunId id) {
    Run* run = find(id);
    if (run != nullptr && !run->child->readErrorOutput()) run->errorWatch.cancel();
}

void HelperRunner::exited(RunId id) {
    Run* run = find(id);
    if (run == nullptr || !run->child->tryReap()) return;
    if (run->done) return finish(id, outcome(*run->child, false));
    release(run->word);
    runs_.erase(id);
}

void HelperRunner::deadlinePassed(RunId id) {
    Run* run = find(id);
    if (run == nullptr) return;
    if (!run->child->killAndReap()) {
        log_.error("{} {} runs as root past its deadline; it is reaped when it ends", helper_.string(), run->word);
    }
    finish(id, outcome(*run->child, true));
}

// The verb is free again once the child is reaped, not before: a helper
// that outlived its deadline as root still does what it was asked.
void HelperRunner::finish(RunId id, const Result& result) {
    const auto found = runs_.find(id);
    Run& run = *found->second;
    const Completion done = std::exchange(run.done, nullptr);
    if (run.child && !run.child->reaped()) {
        run.deadlineTimer.cancel();
        run.errorWatch.cancel();
    } else {
        release(run.word);
        runs_.erase(found);
    }
    if (done) done(result);
}

// From a background task: the loop watches the child until it ends.
void HelperRunner::keepUntilReaped(const std::string& word, std::shared_ptr<HelperChild> child) {
    log_.error("{} {} runs as root past its deadline; it is reaped when it ends", helper_.string(), word);
    loop_.post([this, weak = life_.weak(), word, child = std::move(child)] {
        if (!weak.lock()) return;
        const RunId id = nextId_++;
        auto run = std::make_unique<Run>();
        run->word = word;
        run->child = child;
        run->exitWatch = loop_.watchReadable(child->exitFd(), [this, id] { exited(id); });
        runs_.emplace(id, std::move(run));
    });
}

}  // namespace vigilo
