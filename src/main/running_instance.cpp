#include "main/running_instance.h"

#include <chrono>
#include <cstdio>
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
    const std::string why = tr("Vigilo is already running");
    if (status == 0) {
        log.info("{}", why);
    } else {
        log.error("{}", why);
    }
    std::fprintf(stderr, "%s\n", why.c_str());
    return status;
}

}  // namespace

std::optional<int> settleWithRunningInstance(bool headless, const std::string& socketPath, const Logger& log) {
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
