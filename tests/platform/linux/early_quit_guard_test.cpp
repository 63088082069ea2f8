#include "platform/linux/early_quit_guard.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vigilo {
namespace {

constexpr int kStillRunning = 9;
constexpr int kLeftForTheLoop = 7;

// Sends SIGTERM to a child that holds a guard (released or not) and is then
// stuck, as a start-up blocked on a FIFO would be; returns its wait status.
int statusAfterSigterm(bool released) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        EarlyQuitGuard guard;
        if (released) guard.release();
        if (::write(ready[1], "x", 1) != 1) _exit(2);
        if (!released) {
            ::poll(nullptr, 0, 5000);  // stuck, with the signal blocked in this thread
            _exit(kStillRunning);
        }
        sigset_t term;
        sigemptyset(&term);
        sigaddset(&term, SIGTERM);
        const timespec limit{5, 0};
        _exit(::sigtimedwait(&term, nullptr, &limit) == SIGTERM ? kLeftForTheLoop : kStillRunning);
    }
    char byte;
    if (::read(ready[0], &byte, 1) != 1) return -1;
    ::close(ready[0]);
    ::close(ready[1]);
    ::kill(child, SIGTERM);
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

TEST(EarlyQuitGuard, SigtermEndsAStuckStartUpAndAfterReleaseWaitsForTheLoop) {
    int status = statusAfterSigterm(false);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    status = statusAfterSigterm(true);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kLeftForTheLoop);
}

}  // namespace
}  // namespace vigilo
