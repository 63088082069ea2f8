#include "alerts/webhook_manager.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "common/log_capture.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

using nlohmann::json;

// Answers every request at once with the status set for its address.
class RecordingHttpClient final : public HttpClient {
public:
    void send(HttpRequest request, Completion done) override {
        requests.push_back(request);
        auto it = statusByUrl.find(request.url);
        done(HttpResponse{std::nullopt, it == statusByUrl.end() ? 200 : it->second});
    }
    std::vector<HttpRequest> requests;
    std::map<std::string, long> statusByUrl;
};

class MemoryCredentialStore final : public CredentialStore {
public:
    std::optional<std::string> read() override {
        ++reads;
        return stored;
    }
    std::optional<std::string> write(const std::string& secret) override {
        ++writes;
        if (refuse) return std::string("the collection is locked");
        stored = secret;
        return std::nullopt;
    }
    std::optional<std::string> stored;
    bool refuse = false;
    int reads = 0;
    int writes = 0;
};

WebhookConfig everythingOn() {
    return WebhookConfig{true, "123:ABC", "42", true, "https://discord.test/hook", true, "https://slack.test/hook",
                         true, "http://192.168.1.5/vigilo"};
}

class WebhookManagerTest : public ::testing::Test {
protected:
    FakeLoop loop;
    MemoryCredentialStore store;
    RecordingHttpClient http;
    WebhookService service{http, "https://telegram.test"};
};

TEST_F(WebhookManagerTest, StoredConfigHasTheNineKeysAndAnyFaultMeansTheDefaults) {
    const std::string text = encodeWebhookConfig(everythingOn());
    EXPECT_EQ(json::parse(text).size(), 9u);
    EXPECT_EQ(text.find(' '), std::string::npos);
    store.stored = text;
    EXPECT_EQ(WebhookManager(loop, store, service).config().get(), everythingOn());

    auto partial = json::parse(text);
    partial.erase("slackURL");
    auto wrongType = json::parse(text);
    wrongType["telegramEnabled"] = "yes";
    for (const std::string& bad : {partial.dump(), wrongType.dump(), std::string("[1,2"), std::string()}) {
        EXPECT_FALSE(decodeWebhookConfig(bad)) << bad;
        store.stored = bad;
        EXPECT_EQ(WebhookManager(loop, store, service).config().get(), WebhookConfig{}) << bad;
    }
}

TEST_F(WebhookManagerTest, EveryChangeIsStoredInTheBackgroundNewestWinning) {
    WebhookManager manager(loop, store, service);
    loop.holdBackgroundTasks(true);
    auto config = everythingOn();
    manager.setConfig(config);
    config.slackURL = "https://slack.test/other";
    manager.setConfig(config);
    EXPECT_EQ(store.writes, 0);  // nothing on the main thread
    loop.runBackgroundTasks();
    EXPECT_EQ(store.writes, 1);
    EXPECT_EQ(decodeWebhookConfig(*store.stored), config);
}

TEST_F(WebhookManagerTest, RefusedSaveKeepsTheConfigInMemoryAndLogsWithoutSecrets) {
    testing::LogCapture capture;
    store.refuse = true;
    WebhookManager manager(loop, store, service);
    manager.setConfig(everythingOn());
    loop.runUntilIdle();
    EXPECT_EQ(manager.config().get(), everythingOn());
    EXPECT_EQ(capture.lines(), std::vector<std::string>{
                                   "Webhook: error: Could not save the webhook settings: the collection is locked"});
}

TEST_F(WebhookManagerTest, SendGoesThroughTheEnabledChannelsInOrder) {
    WebhookManager manager(loop, store, service);
    manager.send("t", "b", "e");
    loop.runUntilIdle();
    EXPECT_TRUE(http.requests.empty());  // all disabled

    manager.setConfig(everythingOn());
    bool finished = false;
    manager.send("Mac is critically hot", "Backing off.", "thermal_critical", [&] { finished = true; });
    EXPECT_TRUE(finished);
    ASSERT_EQ(http.requests.size(), 4u);
    EXPECT_EQ(http.requests[0].url, "https://telegram.test/bot123:ABC/sendMessage");
    EXPECT_EQ(json::parse(http.requests[0].body),
              (json{{"chat_id", "42"}, {"text", "Vigilo \u2014 Mac is critically hot\nBacking off."}}));
    EXPECT_EQ(http.requests[1].url, "https://discord.test/hook");
    EXPECT_EQ(http.requests[2].url, "https://slack.test/hook");
    EXPECT_EQ(json::parse(http.requests[3].body), (json{{"title", "Mac is critically hot"},
                                                         {"body", "Backing off."},
                                                         {"event", "thermal_critical"},
                                                         {"app", "Vigilo"}}));
    EXPECT_EQ(http.requests[3].timeout, std::chrono::seconds(15));
}

TEST_F(WebhookManagerTest, TestReportsOnTheMainThreadRegardlessOfEnabledFlags) {
    WebhookManager manager(loop, store, service);
    auto config = WebhookConfig{};
    config.genericURL = "http://192.168.1.5/vigilo";
    manager.setConfig(config);
    std::vector<bool> results;
    manager.test(WebhookManager::Channel::generic, [&](bool sent) { results.push_back(sent); });
    manager.test(WebhookManager::Channel::slack, [&](bool sent) { results.push_back(sent); });
    EXPECT_TRUE(results.empty());
    loop.runUntilIdle();
    EXPECT_EQ(results, (std::vector<bool>{true, false}));
    ASSERT_EQ(http.requests.size(), 1u);
    EXPECT_EQ(json::parse(http.requests[0].body)["event"], "test");
}

// The store is read once, at the first need, never at construction: the
// first send or test reads in the background and goes ahead with what it
// found; the configuration's first reader reads on the spot.
TEST_F(WebhookManagerTest, TheStoredConfigIsReadOnceAtTheFirstNeed) {
    struct Case {
        const char* need;
        std::function<void(WebhookManager&)> ask;
        std::size_t requests;  // what the need sends with everything on
        bool readInBackground;
    };
    const std::vector<Case> cases = {
        {"send", [](WebhookManager& m) { m.send("t", "b", "e"); }, 4, true},
        {"test", [](WebhookManager& m) { m.test(WebhookManager::Channel::discord, [](bool) {}); }, 1, true},
        {"config", [](WebhookManager& m) { m.config(); }, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.need);
        MemoryCredentialStore memory;
        memory.stored = encodeWebhookConfig(everythingOn());
        http.requests.clear();
        WebhookManager manager(loop, memory, service);
        loop.runUntilIdle();
        EXPECT_EQ(memory.reads, 0);

        loop.holdBackgroundTasks(true);
        c.ask(manager);
        c.ask(manager);
        EXPECT_EQ(memory.reads, c.readInBackground ? 0 : 1);
        EXPECT_TRUE(http.requests.empty());
        loop.holdBackgroundTasks(false);
        loop.runUntilIdle();
        EXPECT_EQ(memory.reads, 1);
        EXPECT_EQ(http.requests.size(), 2 * c.requests);
        EXPECT_EQ(manager.config().get(), everythingOn());
        manager.send("t", "b", "e");
        loop.runUntilIdle();
        EXPECT_EQ(memory.reads, 1);
        EXPECT_EQ(http.requests.size(), 2 * c.requests + 4);
    }
}

// The alerts window asks for the configuration while a send's read is under
// way: it gets the same answer, read once, and the send goes ahead.
TEST_F(WebhookManagerTest, AReaderOnTheSpotSharesTheBackgroundRead) {
    store.stored = encodeWebhookConfig(everythingOn());
    WebhookManager manager(loop, store, service);
    loop.holdBackgroundTasks(true);
    manager.send("t", "b", "e");
    EXPECT_EQ(manager.config().get(), everythingOn());
    EXPECT_EQ(http.requests.size(), 4u);  // went ahead once the answer was there
    loop.holdBackgroundTasks(false);
    loop.runUntilIdle();
    EXPECT_EQ(store.reads, 1);
    EXPECT_EQ(http.requests.size(), 4u);
}

// A configuration set before the stored one was read replaces it: the read
// that comes in later is dropped, and what waited for it uses the new one.
TEST_F(WebhookManagerTest, AConfigSetBeforeTheReadWins) {
    store.stored = encodeWebhookConfig(everythingOn());
    WebhookManager manager(loop, store, service);
    loop.holdBackgroundTasks(true);
    manager.send("t", "b", "e");
    WebhookConfig slackOnly;
    slackOnly.slackEnabled = true;
    slackOnly.slackURL = "https://slack.test/only";
    manager.setConfig(slackOnly);
    ASSERT_EQ(http.requests.size(), 1u);
    EXPECT_EQ(http.requests[0].url, "https://slack.test/only");
    loop.holdBackgroundTasks(false);
    loop.runUntilIdle();
    EXPECT_EQ(manager.config().get(), slackOnly);
    EXPECT_EQ(decodeWebhookConfig(*store.stored), slackOnly);
    EXPECT_EQ(http.requests.size(), 1u);
}

// A manager that goes while its read is under way is not called back.
TEST_F(WebhookManagerTest, AReadThatOutlivesTheManagerIsDropped) {
    store.stored = encodeWebhookConfig(everythingOn());
    bool tested = false;
    {
        WebhookManager manager(loop, store, service);
        loop.holdBackgroundTasks(true);
        manager.test(WebhookManager::Channel::generic, [&](bool) { tested = true; });
    }
    loop.holdBackgroundTasks(false);
    loop.runUntilIdle();
    EXPECT_EQ(store.reads, 1);
    EXPECT_FALSE(tested);
    EXPECT_TRUE(http.requests.empty());
}

}  // namespace
}  // namespace vigilo
