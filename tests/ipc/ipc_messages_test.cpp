#include "ipc/ipc_messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace vigilo {
namespace {

using ::testing::StartsWith;

IPCRequest request(std::string_view text) {
    auto decoded = decodeRequest(text);
    if (auto* error = std::get_if<std::string>(&decoded)) ADD_FAILURE() << *error;
    return std::get<IPCRequest>(decoded);
}

std::string requestError(std::string_view text) {
    auto decoded = decodeRequest(text);
    EXPECT_TRUE(std::holds_alternative<std::string>(decoded)) << text;
    return std::holds_alternative<std::string>(decoded) ? std::get<std::string>(decoded) : "";
}

TEST(IPCMessages, EncodesCompactlyInFieldOrderWithoutAbsentFields) {
    EXPECT_EQ(encodeRequest({.cmd = IPCCommand::ping}), R"({"cmd":"ping"})");
    EXPECT_EQ(encodeRequest({.cmd = IPCCommand::notify, .title = "a/b", .body = ""}),
              R"({"cmd":"notify","title":"a\/b","body":""})");
    EXPECT_EQ(encodeResponse({.ok = true, .patterns = std::vector<std::string>{"claude", "ollama", "python3"}}),
              R"({"ok":true,"patterns":["claude","ollama","python3"]})");
    EXPECT_EQ(encodeResponse({.ok = true, .message = "started", .mode = "Awake On"}),
              R"({"ok":true,"message":"started","mode":"Awake On"})");
    EXPECT_EQ(encodeResponse({.ok = true, .tasks = std::vector<std::string>{}}), R"({"ok":true,"tasks":[]})");
}

TEST(IPCMessages, RoundTripsEveryField) {
    IPCRequest full{.cmd = IPCCommand::timer, .enable = false, .patterns = std::vector<std::string>{"/usr/bin/x", "ü"},
                    .seconds = -3, .title = "t", .body = "b\n\"q\""};
    EXPECT_EQ(request(encodeRequest(full)), full);
    IPCResponse reply{.ok = false, .message = "m", .mode = "Awake On", .assertionActive = true, .clamshellActive = false,
                      .batteryPercent = 87, .isCharging = true, .thermal = "Normal",
                      .tasks = std::vector<std::string>{"a"},
                      .taskDetails = std::vector<TaskDetail>{{"a", 7, "a --b \"c\"", false, 12},
                                                             {"b", 8, "b", true, 0, 3.5, 0.0, "device"}},
                      .patterns = std::vector<std::string>{},
                      .warning = "w"};
    auto decoded = decodeResponse(encodeResponse(reply) + "\n");
    ASSERT_TRUE(std::holds_alternative<IPCResponse>(decoded));
    EXPECT_EQ(std::get<IPCResponse>(decoded), reply);
}

TEST(IPCMessages, UnknownKeysAndNullsAreIgnored) {
    EXPECT_EQ(request(R"({"cmd":"ping","extra":1})"), IPCRequest{.cmd = IPCCommand::ping});
    EXPECT_EQ(request(R"({"enable":null,"cmd":"ping"})"), IPCRequest{.cmd = IPCCommand::ping});
    EXPECT_EQ(request(R"({"cmd":"timer","seconds":30.0})").seconds, 30);
}

TEST(IPCMessages, MalformedRequestsAreRejectedWithADescription) {
    for (auto text : {R"({"cmd":"reboot"})", "{}", "[1]", "not json", R"({"cmd":"watch","patterns":"a"})",
                      R"({"cmd":"watch","patterns":["a",1]})", R"({"cmd":"autowatch","enable":"yes"})",
                      R"({"cmd":"timer","seconds":1.5})", R"({"cmd":"timer","seconds":1e300})",
                      R"({"cmd":"timer","seconds":9223372036854775808})", R"({"cmd":null})", R"({"cmd":3})",
                      "{\"cmd\":\"ping\"}\n{\"cmd\":\"ping\"}", "{\"cmd\":\"p\xff\"}", "", "1e400"}) {
        EXPECT_FALSE(requestError(text).empty()) << text;
    }
    EXPECT_THAT(requestError(R"({"cmd":"reboot"})"), StartsWith("unknown command"));
}

TEST(IPCMessages, DescriptionsOfLongRequestsStayShort) {
    // Escaped in the reply, each "/" takes two bytes.
    const std::string slashes(40000, '/');
    for (const auto& text : {R"({"cmd":")" + slashes + "\x01\"}", R"({"cmd":")" + slashes + R"("})"}) {
        EXPECT_LT(encodeResponse({.ok = false, .message = "bad request: " + requestError(text)}).size(), 1024u);
    }
}

TEST(IPCMessages, DeepNestingDoesNotCrash) {
    std::string deep = R"({"cmd":"ping","extra":)" + std::string(100000, '[') + std::string(100000, ']') + "}";
    EXPECT_EQ(request(deep), IPCRequest{.cmd = IPCCommand::ping});
}

TEST(IPCMessages, ResponseNeedsOk) {
    EXPECT_TRUE(std::holds_alternative<std::string>(decodeResponse(R"({"message":"x"})")));
    EXPECT_TRUE(std::holds_alternative<std::string>(decodeResponse(R"({"ok":true,"batteryPercent":"5"})")));
    EXPECT_TRUE(std::holds_alternative<std::string>(decodeResponse(R"({"ok":tr)")));
}

// Name and pid are what a detail is; the rest may be left out by a newer
// application and is then taken as busy with no command.
TEST(IPCMessages, TaskDetailsNeedANameAndAPid) {
    auto decoded = decodeResponse(R"({"ok":true,"taskDetails":[{"name":"n","pid":3,"future":[1]}]})");
    ASSERT_TRUE(std::holds_alternative<IPCResponse>(decoded));
    EXPECT_EQ(std::get<IPCResponse>(decoded).taskDetails, (std::vector<TaskDetail>{{"n", 3, "", true, 0}}));
    for (auto text : {R"({"ok":true,"taskDetails":[{"pid":3}]})", R"({"ok":true,"taskDetails":[{"name":"n"}]})",
                      R"({"ok":true,"taskDetails":[{"name":"n","pid":"3"}]})", R"({"ok":true,"taskDetails":["n"]})",
                      R"({"ok":true,"taskDetails":{"name":"n","pid":3}})",
                      R"({"ok":true,"taskDetails":[{"name":"n","pid":3,"busy":1}]})",
                      R"({"ok":true,"taskDetails":[{"name":"n","pid":3,"gpuPercent":"80"}]})"}) {
        EXPECT_TRUE(std::holds_alternative<std::string>(decodeResponse(text))) << text;
    }
}

}  // namespace
}  // namespace vigilo
