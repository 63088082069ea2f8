#include "alerts/push_service.h"

#include <gtest/gtest.h>

#include <future>
#include <optional>

#include "common/log_capture.h"
#include "local_http_server.h"
#include "platform/linux/http/curl_http_client.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;

class PushServiceTest : public ::testing::Test {
protected:
    // Runs one push and waits (bounded) until its log line is written.
    template <class Send>
    void push(Send send) {
        auto finished = std::make_shared<std::promise<void>>();
        auto future = finished->get_future();
        send([finished] { finished->set_value(); });
        ASSERT_EQ(future.wait_for(20s), std::future_status::ready);
    }
    void ntfy(const std::string& base, const std::string& topic, const std::string& title = "Hello",
              const std::string& body = "body") {
        push([&](PushService::Done done) { service.sendNtfy(base, topic, title, body, std::move(done)); });
    }

    testing::LogCapture capture;
    testing::LocalHttpServer server;
    CurlHttpClient http;
    PushService service{http, server.url()};
};

TEST_F(PushServiceTest, NtfyPostsTheBodyToBaseSlashTopic) {
    ntfy(server.url(), "alerts", "Mac is critically hot", "Vigilo is backing off \u2014 caf\u00e9");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].target, "/alerts");
    EXPECT_EQ(requests[0].header("Title"), "Mac is critically hot");
    EXPECT_EQ(requests[0].body, "Vigilo is backing off \u2014 caf\u00e9");
    EXPECT_FALSE(requests[0].header("Content-Type"));
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"Push: ntfy push sent"});
}

TEST_F(PushServiceTest, NtfyTargetsAndTitleHeadersAreTidied) {
    const struct {
        std::string base, topic, title;
        std::string target;
        std::optional<std::string> titleHeader;
    } cases[] = {
        {"/", " \talerts  ", "Task finished \u2705", "/alerts", "Task finished "},
        {"/sub", "alerts", "Caf\u00e9 \u2014 na\u00efve", "/sub/alerts", "Cafe  naive"},
        {"", "alerts", "\u2705\U0001F389", "/alerts", std::nullopt},  // only emoji: no header
        // Line breaks in a title never become headers.
        {"", "alerts", "hi\r\nX-Injected: yes", "/alerts", "hi  X-Injected: yes"},
    };
    for (const auto& c : cases) ntfy(server.url() + c.base, c.topic, c.title, "line one\r\nline two");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(requests[i].target, cases[i].target) << i;
        EXPECT_EQ(requests[i].header("Title"), cases[i].titleHeader) << i;
        EXPECT_FALSE(requests[i].header("X-Injected"));
        EXPECT_EQ(requests[i].body, "line one\r\nline two");
    }
}

TEST_F(PushServiceTest, BlankTopicBadServerOrMissingUserSendsNothing) {
    ntfy(server.url(), "   ");
    ntfy("not a server", "alerts");
    push([&](PushService::Done done) { service.sendPushover("token", "", "t", "b", std::move(done)); });
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"Push: error: ntfy: invalid server/topic",
                                                         "Push: error: ntfy: invalid server/topic",
                                                         "Push: error: pushover: missing token/user"}));
}

TEST_F(PushServiceTest, PushoverFormEncodesTheFourFields) {
    server.answer("/1/messages.json", 204);
    push([&](PushService::Done done) {
        service.sendPushover("tok+en", "us&er", "Task finished \u2705", "a=b c%", std::move(done));
    });
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/1/messages.json");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].body,
              "token=tok%2Ben&user=us%26er&title=Task%20finished%20%E2%9C%85&message=a%3Db%20c%25");
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"Push: pushover push sent"});
}

TEST_F(PushServiceTest, HttpFailureAndTransportErrorAreOneLineEach) {
    server.answer("/1/messages.json", 400);
    push([&](PushService::Done done) { service.sendPushover("t", "u", "t", "b", std::move(done)); });
    ntfy("http://127.0.0.1:" + std::to_string(testing::closedPort()), "alerts");
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Push: error: pushover push failed: HTTP 400");
    EXPECT_TRUE(lines[1].starts_with("Push: error: ntfy push error: ")) << lines[1];
}

TEST_F(PushServiceTest, ProviderNoneSendsNothing) {
    push([&](PushService::Done done) {
        service.send(PushProvider::none, server.url(), "alerts", "t", "u", "title", "body", std::move(done));
    });
    push([&](PushService::Done done) {
        service.send(PushProvider::ntfy, server.url(), "alerts", "t", "u", "title", "body", std::move(done));
    });
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].target, "/alerts");
}

}  // namespace
}  // namespace vigilo
