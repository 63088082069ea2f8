// The two application loops pass the same cases; the Qt loop also keeps
// working under a nested loop (a modal dialog opened from a callback).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QEventLoop>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/sd_event_loop.h"
#include "ui/qt/qt_loop.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;

struct Pipe {
    int read = -1, write = -1;
    Pipe() {
        int fds[2];
        if (::pipe(fds) == 0) read = fds[0], write = fds[1];
    }
    ~Pipe() {
        ::close(read);
        ::close(write);
    }
    void put(char c) const { (void)::write(write, &c, 1); }
    std::string take() const {
        char buffer[16];
        auto n = ::read(read, buffer, sizeof buffer);
        return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
    }
};

template <class L>
class ApplicationLoopTest : public testing::Test {
protected:
    L loop_;
};

using Loops = testing::Types<SdEventLoop, QtLoop>;
TYPED_TEST_SUITE(ApplicationLoopTest, Loops);

TYPED_TEST(ApplicationLoopTest, TimersRunInDueOrderAndQuitEndsTheLoop) {
    auto& loop = this->loop_;
    std::vector<int> order;
    auto second = loop.startTimer(20ms, [&] { order.push_back(2); });
    auto first = loop.startTimer(5ms, [&] { order.push_back(1); });
    auto cancelled = loop.startTimer(10ms, [&] { order.push_back(99); });
    cancelled.cancel();
    auto past = loop.startTimerAt(loop.clock().wallNow() - 1h, [&] { order.push_back(0); });
    auto end = loop.startTimer(40ms, [&] { loop.quit(7); });
    EXPECT_EQ(loop.run(), 7);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TYPED_TEST(ApplicationLoopTest, QuitBeforeRunEndsTheRunAtOnce) {
    this->loop_.quit(4);
    EXPECT_EQ(this->loop_.run(), 4);
}

TYPED_TEST(ApplicationLoopTest, RepeatingTimerAndBackgroundResultComeBackOnTheLoopThread) {
    auto& loop = this->loop_;
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

TYPED_TEST(ApplicationLoopTest, WatchesDescriptorsAndSignals) {
    auto& loop = this->loop_;
    Pipe pipe;
    std::string received;
    auto watch = loop.watchReadable(pipe.read, [&] {
        received += pipe.take();
        ::raise(SIGUSR1);
    });
    auto signal = loop.onSignal(SIGUSR1, [&] { loop.quit(3); });
    std::thread writer([&] { pipe.put('x'); });
    EXPECT_EQ(loop.run(), 3);
    writer.join();
    EXPECT_EQ(received, "x");
}

// What the socket server does with a client: read its request, then swap the
// readable watch for a writable one on the same descriptor, which fires only
// once the peer has made room.
TYPED_TEST(ApplicationLoopTest, AHandlerSwapsItsReadableWatchForAWritableOne) {
    auto& loop = this->loop_;
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends), 0);
    const std::string chunk(4096, 'x');
    while (::send(ends[0], chunk.data(), chunk.size(), MSG_NOSIGNAL) > 0) {
    }
    std::vector<std::string> seen;
    Handle watch;
    Handle drain;
    watch = loop.watchReadable(ends[0], [&] {
        char byte;
        (void)::read(ends[0], &byte, 1);
        seen.push_back("readable");
        watch.cancel();  // first: the daemon's loop takes one watch per descriptor
        watch = loop.watchWritable(ends[0], [&] {
            seen.push_back("writable");
            watch.cancel();
            loop.quit(0);
        });
        drain = loop.startTimer(20ms, [&] {
            char buffer[65536];
            while (::read(ends[1], buffer, sizeof buffer) > 0) {
            }
            seen.push_back("drained");
        });
    });
    auto giveUp = loop.startTimer(5s, [&] { loop.quit(1); });
    ASSERT_EQ(::write(ends[1], "r", 1), 1);
    EXPECT_EQ(loop.run(), 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"readable", "drained", "writable"}));
    ::close(ends[0]);
    ::close(ends[1]);
}

// A socket request that opens a confirmation runs a nested loop inside its
// handler: timers, posts and other descriptors go on, and the handler's own
// descriptor waits until the handler returns.
TEST(QtLoop, NestedLoopInsideAHandlerKeepsEverythingElseRunning) {
    QtLoop loop;
    Pipe request, bus;
    std::vector<std::string> seen;
    int requestCalls = 0;
    std::thread busWriter;
    auto busWatch = loop.watchReadable(bus.read, [&] { seen.push_back("bus " + bus.take()); });
    auto requestWatch = loop.watchReadable(request.read, [&] {
        seen.push_back("request " + request.take());
        if (++requestCalls > 1) return loop.quit(0);
        request.put('2');  // must wait for this handler to return
        QEventLoop dialog;
        auto tick = loop.startTimer(5ms, [&] {
            seen.push_back("timer");
            busWriter = std::thread([&] { bus.put('b'); });
        });
        auto answer = loop.startTimer(40ms, [&] { loop.post([&] { dialog.quit(); }); });
        dialog.exec();
        seen.push_back("answered");
    });
    request.put('1');
    loop.run();
    busWriter.join();
    EXPECT_EQ(seen, (std::vector<std::string>{"request 1", "timer", "bus b", "answered", "request 2"}));
}

}  // namespace
}  // namespace vigilo
