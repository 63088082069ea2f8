// Both Linux network monitors against real peers. The NetworkManager case
// talks to python-dbusmock's networkmanager template on a private system
// bus that tests/integration/test_network_monitor.py sets up (it skips
// without VIGILO_NM_MOCK). The rtnetlink case makes its own network
// namespace with a veth pair, so it needs root (it skips otherwise).
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "platform/linux/dbus/bus.h"
#include "platform/linux/network/linux_network_monitor.h"
#include "platform/linux/network/route_netlink_monitor.h"
#include "platform/linux/sd_event_loop.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;

// Runs the loop until `readings` has `count` entries, or five seconds pass;
// `step` is called after each reading to change the machine's state.
void collect(SdEventLoop& loop, NetworkMonitor& monitor, std::size_t count, std::vector<bool>& readings,
             const std::function<void(std::size_t)>& step) {
    auto handle = monitor.start([&](bool up) {
        readings.push_back(up);
        if (readings.size() == count) loop.quit();
        else step(readings.size());
    });
    auto deadline = loop.startTimer(5s, [&] { loop.quit(); });
    loop.run();
}

TEST(NetworkManagerOnMockBus, FollowsTheGlobalState) {
    if (!std::getenv("VIGILO_NM_MOCK")) GTEST_SKIP() << "needs the mock bus (tests/integration/test_network_monitor.py)";
    dbus::BusError error;
    auto machine = dbus::openBus(dbus::BusKind::system, error);
    ASSERT_TRUE(machine) << error.cause;
    auto setState = [&](std::uint32_t state) {
        auto reply = dbus::callMethod(machine.get(),
                                      {"org.freedesktop.NetworkManager", "/org/freedesktop/NetworkManager",
                                       "org.freedesktop.DBus.Mock", "SetGlobalConnectionState"},
                                      2s, error, "u", state);
        ASSERT_TRUE(reply) << error.cause;
    };

    SdEventLoop loop;
    LinuxNetworkMonitor monitor(loop);
    std::vector<bool> readings;
    // 70 (global) at start; 50 (local only) is down; 60 (site) is up again.
    // 20 after 20 is no change and must not be reported twice.
    collect(loop, monitor, 3, readings, [&](std::size_t seen) {
        if (seen == 1) {
            setState(20);
            setState(20);
        } else {
            setState(50);
            setState(60);
        }
    });
    EXPECT_EQ(readings, (std::vector{true, false, true}));
}

// The steps run in a child in its own network namespace, so the test
// process keeps the machine's network. Exit 77 means the namespace or the
// veth pair could not be made here.
int runInNetworkNamespace() {
    if (::unshare(CLONE_NEWNET) != 0) return 77;
    SdEventLoop loop;
    RouteNetlinkMonitor monitor(loop);
    std::vector<bool> readings;
    bool madeLink = true;
    collect(loop, monitor, 3, readings, [&](std::size_t seen) {
        if (seen == 1) {
            madeLink = std::system("ip link add v0 type veth peer name v1 && ip link set v1 up && "
                                   "ip link set v0 up && ip addr add 192.0.2.1/24 dev v0 && "
                                   "ip route add default via 192.0.2.254") == 0;
            if (!madeLink) loop.quit();
        } else {
            madeLink = std::system("ip link set v0 down") == 0;
        }
    });
    if (!madeLink) return 77;
    return readings == std::vector{false, true, false} ? 0 : 1;
}

TEST(RouteNetlinkMonitor, FollowsLinksAndTheDefaultRouteInANetworkNamespace) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for a network namespace";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(runInNetworkNamespace());
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no network namespace or veth pair here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "readings were not down, up, down";
}

}  // namespace
}  // namespace vigilo
