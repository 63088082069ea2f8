#include "cli/request_builder.h"

#include <gtest/gtest.h>

namespace vigilo {
namespace {

IPCRequest built(std::vector<std::string> args) {
    auto result = buildDaemonRequest(args);
    EXPECT_TRUE(result.has_value());
    EXPECT_TRUE(std::holds_alternative<DaemonRequest>(*result));
    return std::get<DaemonRequest>(*result).request;
}

TEST(RequestBuilder, CommandsMapToTheirRequests) {
    EXPECT_EQ(built({"status"}), IPCRequest{.cmd = IPCCommand::status});
    EXPECT_EQ(built({"start", "extra"}), IPCRequest{.cmd = IPCCommand::start});
    EXPECT_EQ(built({"stop"}), IPCRequest{.cmd = IPCCommand::stop});
    EXPECT_EQ(built({"patterns"}), IPCRequest{.cmd = IPCCommand::listPatterns});
    EXPECT_EQ(built({"watch", "b", "a", "b"}).patterns, (std::vector<std::string>{"b", "a", "b"}));
    EXPECT_EQ(built({"unwatch", "x"}).cmd, IPCCommand::unwatch);
    EXPECT_FALSE(buildDaemonRequest({"--"}).has_value());
    EXPECT_FALSE(buildDaemonRequest({}).has_value());
}

TEST(RequestBuilder, AutowatchWords) {
    for (auto on : {"on", "ON", "True", "1"}) EXPECT_EQ(built({"autowatch", on}).enable, true) << on;
    for (auto off : {"off", "FALSE", "0"}) EXPECT_EQ(built({"autowatch", off}).enable, false) << off;
    EXPECT_EQ(built({"autowatch", "Toggle"}).enable, std::nullopt);
    EXPECT_EQ(built({"autowatch"}).enable, std::nullopt);
}

TEST(RequestBuilder, TimerTakesAtLeastOneSecondUpToAYear) {
    EXPECT_EQ(built({"timer", "60", "extra"}).seconds, 60);
    EXPECT_EQ(built({"timer", "1s"}).seconds, 1);
    EXPECT_EQ(built({"timer", "9223372036854775807"}).seconds, 365 * 24 * 3600);
    for (auto tooShort : {"0", "0h0m0s"}) {
        EXPECT_TRUE(std::holds_alternative<UsageError>(*buildDaemonRequest({"timer", tooShort}))) << tooShort;
    }
}

TEST(RequestBuilder, NotifyDefaultsAndJoinsTheBody) {
    auto plain = built({"notify"});
    EXPECT_EQ(plain.title, "Vigilo");
    EXPECT_EQ(plain.body, "");
    auto full = built({"notify", "Done", "all", "good"});
    EXPECT_EQ(full.title, "Done");
    EXPECT_EQ(full.body, "all good");
}

}  // namespace
}  // namespace vigilo
