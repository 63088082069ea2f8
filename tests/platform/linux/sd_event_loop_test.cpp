#include "platform/linux/sd_event_loop.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <thread>
#include <vector>

namespace vigilo {
namespace {

using namespace std::chrono_literals;

TEST(SdEventLoop, TimersRunInDueOrderAndQuitEndsTheLoop) {
    SdEventLoop loop;
    std::vector<int> order;
    auto second = loop.startTimer(20ms, [&] { order.push_back(2); });
    auto first = loop.startTimer(5ms, [&] { order.push_back(1); });
    auto cancelled = loop.startTimer(10ms, [&] { order.push_back(99); });
    cancelled.cancel();
    auto end = loop.startTimer(40ms, [&] { loop.quit(7); });
    EXPECT_EQ(loop.run(), 7);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(SdEventLoop, RepeatingTimerAndBackgroundResultComeBackOnTheLoopThread) {
    SdEventLoop loop;
    const auto loopThread = std::this_thread::get_id();
    int ticks = 0;
    Handle repeating;
    repeating = loop.startRepeating(2ms, [&] {
        if (++ticks == 3) repeating.cancel();
    });
    bool resultOnLoopThread = false;
    loop.runInBackground([] { return std::this_thread::get_id(); },
                         [&](std::thread::id worker) {
                             resultOnLoopThread = worker != loopThread && std::this_thread::get_id() == loopThread;
                         });
    auto end = loop.startTimer(50ms, [&] { loop.quit(); });
    loop.run();
    EXPECT_EQ(ticks, 3);
    EXPECT_TRUE(resultOnLoopThread);
}

TEST(SdEventLoop, WatchesDescriptorsAndSignals) {
    SdEventLoop loop;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::string received;
    auto watch = loop.watchReadable(fds[0], [&] {
        char buffer[8];
        auto n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0) received.append(buffer, static_cast<std::size_t>(n));
        ::raise(SIGUSR1);
    });
    auto signal = loop.onSignal(SIGUSR1, [&] { loop.quit(3); });
    std::thread writer([&] { (void)::write(fds[1], "x", 1); });
    EXPECT_EQ(loop.run(), 3);
    writer.join();
    EXPECT_EQ(received, "x");
    ::close(fds[0]);
    ::close(fds[1]);
}

}  // namespace
}  // namespace vigilo
