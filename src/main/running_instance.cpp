#include "main/running_instance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "ipc/ipc_client.h"
#include "ipc/ipc_instance.h"
#include "platform/linux/unix_socket.h"
#include "support/tr.h"

namespace vigilo {

namespace {

constexpr double kRequestTimeoutSeconds = 5;

std::optional<IPCResponse> ask(IPCCommand command, const std::string& socketPath) {
    UnixSocketConnector connector;
    try {
        return IPCClient::send({.cmd = command}, kRequestTimeoutSeconds, socketPath, connector);
    } catch (const ClientError&) {
        return std::nullopt;
    }
}

// nullopt when the instance cannot be reached. One from before the role
// request answers "bad request" and could only ever run as the daemon.
std::optional<std::string> runningRole(const std::string& socketPath) {
    const auto reply = ask(IPCCommand::role, socketPath);
    if (!reply) return std::nullopt;
    return reply->ok && reply->role ? *reply->role : IPCInstance::kHeadlessRole;
}

int alreadyRunning(const Logger& log, int status) {
    tellOnce(log, status == 0 ? LogLevel::info : LogLevel::error, tr("Vigilo is already running"));
    return status;
}

// Whether standard error is the journal's stream (the user unit's), as
// systemd tells through JOURNAL_STREAM="<device>:<inode>".
bool stderrIsTheJournal() {
    const char* stream = ::getenv("JOURNAL_STREAM");
    unsigned long long device = 0, inode = 0;
    if (!stream || std::sscanf(stream, "%llu:%llu", &device, &inode) != 2) return false;
    struct stat status {};
    return ::fstat(STDERR_FILENO, &status) == 0 && status.st_dev == device && status.st_ino == inode;
}

// Where the log already reaches the person: the stderr sink without a
// journal, and the journal sink when stderr is the journal too.
bool logReachesStderr() {
    const auto sink = logSink();
    if (dynamic_cast<const StderrLogSink*>(sink.get())) return true;
    return sink && stderrIsTheJournal();
}

}  // namespace

void tellOnce(const Logger& log, LogLevel level, const std::string& text) {
    if (level == LogLevel::info) {
        log.info("{}", text);
    } else {
        log.error("{}", text);
    }
    if (!logReachesStderr()) std::fprintf(stderr, "%s\n", text.c_str());
}

std::optional<int> settleWithRunningInstance(bool headless, const std::string& socketPath, const Logger& log,
                                             std::optional<HandOverState>& handedOver) {
    const auto role = runningRole(socketPath);
    const bool runningTray = role == IPCInstance::kTrayRole;
    if (headless) return alreadyRunning(log, runningTray ? 0 : 1);
    if (runningTray) {
        const auto reply = ask(IPCCommand::showStatus, socketPath);
        log.info("Vigilo is already running; {}", reply && reply->ok ? "its status window is shown"
                                                                     : "it could not show its status window");
        return 0;
    }
    if (!role) return alreadyRunning(log, 1);
    const auto reply = ask(IPCCommand::handOver, socketPath);
    if (!reply || !reply->ok) return alreadyRunning(log, 1);
    handedOver = reply->resume;
    log.info("The running headless Vigilo hands over to the tray");
    return std::nullopt;
}

bool waitForInstanceLock(std::optional<InstanceLock>& lock, const std::string& lockPath, double seconds) {
    using Steady = std::chrono::steady_clock;
    constexpr auto kPollInterval = std::chrono::milliseconds(50);
    const auto deadline = Steady::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        lock.reset();
        lock.emplace(lockPath);
        if (lock->status() != InstanceLock::Status::heldElsewhere || Steady::now() >= deadline) {
            return lock->status() == InstanceLock::Status::held;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

}  // namespace vigilo
