#include "alerts/webhook_service.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <future>

#include "alerts/webhook_manager.h"
#include "common/log_capture.h"
#include "local_http_server.h"
#include "platform/linux/http/curl_http_client.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

class NoStore final : public CredentialStore {
public:
    std::optional<std::string> read() override { return std::nullopt; }
    std::optional<std::string> write(const std::string&) override { return std::nullopt; }
};

class WebhookServiceTest : public ::testing::Test {
protected:
    // Runs one request and waits (bounded) for its result.
    template <class Send>
    bool result(Send send) {
        auto promise = std::make_shared<std::promise<bool>>();
        auto future = promise->get_future();
        send([promise](bool sent) { promise->set_value(sent); });
        EXPECT_EQ(future.wait_for(20s), std::future_status::ready);
        return future.get();
    }

    testing::LogCapture capture;
    testing::LocalHttpServer server;
    CurlHttpClient http;
    WebhookService service{http, server.url()};
};

TEST_F(WebhookServiceTest, CustomEndpointGetsJsonAnd204CountsAsSent) {
    server.answer("/hook", 204);
    EXPECT_TRUE(result([&](auto done) {
        service.postJSON(server.url() + "/hook", {{"title", "T"}, {"event", "test"}}, "generic", done);
    }));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
    EXPECT_EQ(json::parse(requests[0].body), (json{{"title", "T"}, {"event", "test"}}));
    EXPECT_TRUE(capture.lines().empty());
}

TEST_F(WebhookServiceTest, Status500AndTransportErrorsLogOneLineAndFail) {
    server.answer("/hook", 500);
    EXPECT_FALSE(result([&](auto done) { service.postJSON(server.url() + "/hook", {}, "generic", done); }));
    const std::string closed = "http://127.0.0.1:" + std::to_string(testing::closedPort()) + "/x";
    EXPECT_FALSE(result([&](auto done) { service.sendSlack(closed, "hi", done); }));
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Webhook: error: generic webhook HTTP 500");
    EXPECT_TRUE(lines[1].starts_with("Webhook: error: slack webhook error: ")) << lines[1];
}

TEST_F(WebhookServiceTest, TelegramTokenGoesInThePathButNeverIntoTheLog) {
    server.answer("/botSECRET-TOKEN/sendMessage", 401);
    EXPECT_FALSE(result([&](auto done) { service.sendTelegram("SECRET-TOKEN", "42", "hello", done); }));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(json::parse(server.requests()[0].body), (json{{"chat_id", "42"}, {"text", "hello"}}));
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"Webhook: error: telegram webhook HTTP 401"});
    EXPECT_FALSE(result([&](auto done) { service.sendTelegram("SECRET-TOKEN", "", "hello", done); }));
    EXPECT_FALSE(result([&](auto done) { service.sendDiscord("discord.com/api/webhooks/1", "hello", done); }));
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(capture.lines().size(), 1u);
}

TEST_F(WebhookServiceTest, SlowEndpointTimesOutAsAFailure) {
    server.delay("/slow", 3s);
    auto promise = std::make_shared<std::promise<bool>>();
    WebhookService::Result done = [promise](bool sent) { promise->set_value(sent); };
    HttpRequest request{.url = server.url() + "/slow", .timeout = 300ms};
    http.send(request, [done](HttpResponse response) { done(!response.error); });
    auto future = promise->get_future();
    ASSERT_EQ(future.wait_for(20s), std::future_status::ready);
    EXPECT_FALSE(future.get());
}

TEST_F(WebhookServiceTest, ManagerSendsChannelsInOrderSkippingTelegramWithoutChat) {
    FakeLoop loop;
    NoStore store;
    WebhookManager manager(loop, store, service);
    manager.setConfig(WebhookConfig{true, "token", "", true, server.url() + "/discord", true,
                                    server.url() + "/slack", true, server.url() + "/generic"});
    auto promise = std::make_shared<std::promise<void>>();
    manager.send("Mac is critically hot", "Vigilo is backing off.", "thermal_critical",
                 [promise] { promise->set_value(); });
    ASSERT_EQ(promise->get_future().wait_for(20s), std::future_status::ready);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].target, "/discord");
    EXPECT_EQ(json::parse(requests[0].body)["content"], "Vigilo \u2014 Mac is critically hot\nVigilo is backing off.");
    EXPECT_EQ(requests[1].target, "/slack");
    EXPECT_EQ(json::parse(requests[1].body)["text"], "Vigilo \u2014 Mac is critically hot\nVigilo is backing off.");
    EXPECT_EQ(requests[2].target, "/generic");
    EXPECT_EQ(json::parse(requests[2].body)["event"], "thermal_critical");
}

}  // namespace
}  // namespace vigilo
