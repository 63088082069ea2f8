#include "support/fake_loop.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace vigilo {
namespace {

using namespace std::chrono_literals;

TEST(FakeLoop, RunsTasksByDueTimeThenBySchedulingOrder) {
    FakeLoop loop;
    std::vector<std::string> order;
    auto late = loop.startTimer(2s, [&] { order.push_back("late"); });
    auto early = loop.startTimer(1s, [&] { order.push_back("early"); });
    auto sameA = loop.startTimer(1s, [&] { order.push_back("sameA"); });
    loop.post([&] { order.push_back("posted"); });

    loop.runUntilIdle();
    EXPECT_EQ(order, (std::vector<std::string>{"posted"}));
    loop.fastForwardBy(2s);
    EXPECT_EQ(order, (std::vector<std::string>{"posted", "early", "sameA", "late"}));
}

TEST(FakeLoop, VirtualTimeMovesOnlyWhenDriven) {
    FakeLoop loop;
    const auto mono = loop.clock().monotonicNow();
    const auto wall = loop.clock().wallNow();
    MonoTime firedAt{};
    auto timer = loop.startTimer(3h, [&] { firedAt = loop.clock().monotonicNow(); });

    loop.fastForwardBy(2h);
    EXPECT_EQ(firedAt, MonoTime{});
    loop.fastForwardBy(2h);
    EXPECT_EQ(firedAt, mono + 3h);
    EXPECT_EQ(loop.clock().monotonicNow(), mono + 4h);
    EXPECT_EQ(loop.clock().wallNow(), wall + 4h);

    loop.advanceWallClock(10h);
    EXPECT_EQ(loop.clock().monotonicNow(), mono + 4h);
    EXPECT_EQ(loop.clock().wallNow(), wall + 14h);
}

TEST(FakeLoop, TimersEndWhenCancelledWhenTheirHandleGoesOrFromInside) {
    FakeLoop loop;
    int repeated = 0, others = 0;
    Handle timer = loop.startRepeating(5s, [&] { ++repeated; });
    { auto dropped = loop.startTimer(1s, [&] { ++others; }); }
    Handle self;
    self = loop.startRepeating(1s, [&] {
        ++others;
        self.cancel();
    });
    loop.fastForwardBy(14s);
    EXPECT_EQ(repeated, 2);
    timer.cancel();
    loop.fastForwardBy(1min);
    EXPECT_EQ(repeated, 2);
    EXPECT_EQ(others, 1);
    EXPECT_EQ(loop.pendingTimers(), 0u);
}

TEST(FakeLoop, BackgroundWorkHandsItsResultBackInOrder) {
    FakeLoop loop;
    std::vector<int> results;
    loop.holdBackgroundTasks(true);
    loop.runInBackground([] { return 1; }, [&](int r) { results.push_back(r); });
    loop.runInBackground([] { return 2; }, [&](int r) { results.push_back(r); });
    loop.runUntilIdle();
    EXPECT_TRUE(results.empty());
    EXPECT_EQ(loop.pendingBackgroundTasks(), 2u);

    loop.holdBackgroundTasks(false);
    loop.runUntilIdle();
    EXPECT_EQ(results, (std::vector<int>{1, 2}));
}

TEST(FakeLoop, WatchedDescriptorIsReportedWhenReadable) {
    FakeLoop loop;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::string received;
    Handle watch = loop.watchReadable(fds[0], [&] {
        char buffer[16];
        auto n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0) received.append(buffer, static_cast<std::size_t>(n));
    });
    loop.runUntilIdle();
    EXPECT_EQ(received, "");
    ASSERT_EQ(::write(fds[1], "hi", 2), 2);
    loop.runUntilIdle();
    EXPECT_EQ(received, "hi");
    watch.cancel();
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST(FakeLoop, WritableWatchWaitsForRoomInTheDescriptor) {
    FakeLoop loop;
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, ends), 0);
    const std::string chunk(4096, 'x');
    while (::send(ends[0], chunk.data(), chunk.size(), MSG_NOSIGNAL) > 0) {
    }
    int calls = 0;
    Handle watch = loop.watchWritable(ends[0], [&] {
        ++calls;
        watch.cancel();
    });
    loop.runUntilIdle();
    EXPECT_EQ(calls, 0);
    char buffer[65536];
    while (::read(ends[1], buffer, sizeof buffer) > 0) {
    }
    loop.runUntilIdle();
    EXPECT_EQ(calls, 1);
    ::close(ends[0]);
    ::close(ends[1]);
}

TEST(FakeLoopWallTimer, FiresWithTheWallClockAndAfterASuspendAtTheNextTurn) {
    FakeLoop loop;
    int fired = 0;
    auto inTime = loop.startTimerAt(loop.clock().wallNow() + 90s, [&] { ++fired; });
    loop.fastForwardBy(89s);
    EXPECT_EQ(fired, 0);
    loop.fastForwardBy(1s);
    EXPECT_EQ(fired, 1);

    auto afterSuspend = loop.startTimerAt(loop.clock().wallNow() + 1h, [&] { ++fired; });
    loop.advanceWallClock(2h);  // suspended: no monotonic time passed
    EXPECT_EQ(fired, 1);
    loop.runUntilIdle();
    EXPECT_EQ(fired, 2);

    auto cancelled = loop.startTimerAt(loop.clock().wallNow() + 1s, [&] { ++fired; });
    cancelled.cancel();
    loop.fastForwardBy(1min);
    EXPECT_EQ(fired, 2);
}

}  // namespace
}  // namespace vigilo
