#include "platform/linux/network/route_netlink_monitor.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <set>
#include <vector>

#include "support/log.h"

// The kernel's netlink walking macros are C and cast the old way.
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wcast-align"

namespace vigilo {

namespace {

// One rtnetlink dump (links or routes of a family): every message of the
// reply is handed to `onMessage`. False when the kernel did not answer.
template <class OnMessage>
bool dump(int fd, std::uint16_t type, unsigned char family, OnMessage onMessage) {
    struct {
        nlmsghdr header;
        rtgenmsg body;
    } request{};
    request.header.nlmsg_len = sizeof(request);
    request.header.nlmsg_type = type;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = 1;
    request.body.rtgen_family = family;
    if (::send(fd, &request, sizeof(request), 0) < 0) return false;

    std::vector<char> buffer(32 * 1024);
    for (;;) {
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0) return false;
        int left = static_cast<int>(n);
        for (auto* message = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(message, left);
             message = NLMSG_NEXT(message, left)) {
            if (message->nlmsg_type == NLMSG_DONE) return true;
            if (message->nlmsg_type == NLMSG_ERROR) return false;
            onMessage(message);
        }
    }
}

void collectRunningLink(const nlmsghdr* message, std::set<int>& running) {
    if (message->nlmsg_type != RTM_NEWLINK) return;
    const auto* link = static_cast<const ifinfomsg*>(NLMSG_DATA(message));
    const unsigned flags = link->ifi_flags;
    if ((flags & IFF_UP) && (flags & IFF_RUNNING) && !(flags & IFF_LOOPBACK)) running.insert(link->ifi_index);
}

// The interface of a default route in the main table, -1 for a default
// route without one (a multipath route), nullopt for any other route.
std::optional<int> defaultRouteInterface(const nlmsghdr* message) {
    if (message->nlmsg_type != RTM_NEWROUTE) return std::nullopt;
    const auto* route = static_cast<const rtmsg*>(NLMSG_DATA(message));
    if (route->rtm_dst_len != 0 || route->rtm_type != RTN_UNICAST) return std::nullopt;
    unsigned table = route->rtm_table;
    int interface = -1;
    int length = static_cast<int>(RTM_PAYLOAD(message));
    for (const auto* attribute = RTM_RTA(route); RTA_OK(attribute, length);
         attribute = RTA_NEXT(attribute, length)) {
        if (attribute->rta_type == RTA_TABLE) std::memcpy(&table, RTA_DATA(attribute), sizeof(table));
        if (attribute->rta_type == RTA_OIF) std::memcpy(&interface, RTA_DATA(attribute), sizeof(interface));
    }
    if (table != RT_TABLE_MAIN) return std::nullopt;
    return interface;
}

}  // namespace

RouteNetlinkMonitor::~RouteNetlinkMonitor() { stop(); }

std::optional<bool> RouteNetlinkMonitor::readUsable() {
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) return std::nullopt;
    const timeval timeout{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));

    std::set<int> running;
    bool answered = dump(fd, RTM_GETLINK, AF_UNSPEC, [&](const nlmsghdr* m) { collectRunningLink(m, running); });
    bool usable = false;
    for (unsigned char family : {AF_INET, AF_INET6}) {
        answered = answered && dump(fd, RTM_GETROUTE, family, [&](const nlmsghdr* m) {
            auto interface = defaultRouteInterface(m);
            if (interface && (*interface < 0 ? !running.empty() : running.contains(*interface))) usable = true;
        });
    }
    ::close(fd);
    if (!answered) return std::nullopt;
    return usable;
}

Handle RouteNetlinkMonitor::start(std::function<void(bool up)> onChange) {
    stop();
    events_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
    if (events_ < 0 || ::bind(events_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) < 0) {
        Logger("Watchdog").error("rtnetlink could not be opened: {}", std::strerror(errno));
        stop();
        return {};
    }
    onChange_ = std::move(onChange);
    watch_ = loop_.watchReadable(events_, [this, alive = life_.weak()] {
        if (alive.lock()) onMessages();
    });
    // Subscribed before the first reading, so no change slips in between.
    loop_.post([this, alive = life_.weak()] {
        if (!alive.lock() || !onChange_) return;
        if (auto usable = readUsable()) report(*usable);
    });
    return Handle([this, alive = life_.weak()] {
        if (alive.lock()) stop();
    });
}

void RouteNetlinkMonitor::stop() {
    watch_.cancel();
    if (events_ >= 0) ::close(events_);
    events_ = -1;
    onChange_ = nullptr;
    lastUp_.reset();
}

void RouteNetlinkMonitor::onMessages() {
    // The messages only say that something changed; a burst (an interface
    // going down drops its routes too) costs one reading. An overflowing
    // queue (ENOBUFS) means the same.
    std::array<char, 8192> buffer;
    for (;;) {
        const ssize_t n = ::recv(events_, buffer.data(), buffer.size(), 0);
        if (n <= 0 && !(n < 0 && errno == ENOBUFS)) break;
    }
    if (auto usable = readUsable()) report(*usable);
}

void RouteNetlinkMonitor::report(bool up) {
    if (lastUp_ == up || !onChange_) return;
    lastUp_ = up;
    onChange_(up);
}

}  // namespace vigilo
