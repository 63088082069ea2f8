#include "app/mqtt/mqtt_settings_service.h"

#include <gtest/gtest.h>

#include "common/temp_dir.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

class MemoryStore final : public CredentialStore {
public:
    std::optional<std::string> secret;
    std::optional<std::string> read() override { return secret; }
    std::optional<std::string> write(const std::string& s) override {
        secret = s;
        return std::nullopt;
    }
};

class CannedReader final : public MqttSnapshotReader {
public:
    explicit CannedReader(MqttSnapshot snapshot, MqttConnection* seen) : snapshot_(std::move(snapshot)), seen_(seen) {}
    MqttSnapshot collect(const MqttConnection& connection, const std::vector<std::string>&, std::chrono::milliseconds,
                         std::size_t) override {
        *seen_ = connection;
        return snapshot_;
    }

private:
    MqttSnapshot snapshot_;
    MqttConnection* seen_;
};

// Through the window's two actions: the password goes to the store and
// reopens the connection; the test uses it and says what it found.
TEST(MqttSettingsService, StoresThePasswordAndTestsTheConnectionWithIt) {
    testing::TempDir dir;
    SerialWriter writer;
    AppSettings settings(dir.path(), writer);
    settings.mqttBroker.set("mqtt://broker.lan");
    settings.mqttUsername.set("me");
    FakeLoop loop;
    MemoryStore store;
    MqttSnapshot snapshot;
    MqttConnection seen;
    int reopened = 0;
    MqttSettingsService service(loop, settings, store,
                                [&] { return std::make_unique<CannedReader>(snapshot, &seen); },
                                [&] { ++reopened; });

    std::optional<std::string> failure = "not called";
    service.setPassword("pw 1", [&](std::optional<std::string> f) { failure = f; });
    loop.runUntilIdle();
    EXPECT_EQ(store.secret, "pw 1");
    EXPECT_EQ(failure, std::nullopt);
    EXPECT_EQ(reopened, 1);

    const struct {
        std::vector<MqttMessage> messages;
        std::optional<MqttFailure> failure;
        const char* said;
    } cases[] = {
        {{{"vigilo/a/state", "{}"}, {"vigilo/a/availability", "online"}, {"vigilo/b/state", "x"},
          {"vigilo/c/availability", "offline"}, {"vigilo/d/state", ""}, {"other/e/state", "{}"}},
         std::nullopt, "Connected to broker.lan \u2014 3 computers seen"},
        {{{"vigilo/a/state", "{}"}}, std::nullopt, "Connected to broker.lan \u2014 1 computer seen"},
        {{}, MqttFailure{MqttFailure::Kind::refusedLogin, "not authorised"},
         "The broker refused the user name or password."},
        {{}, MqttFailure{MqttFailure::Kind::untrusted, "certificate verify failed"},
         "The broker's certificate is not trusted: certificate verify failed."},
    };
    for (const auto& c : cases) {
        snapshot = MqttSnapshot{c.failure, c.messages, false};
        std::string said;
        service.testConnection([&](std::string text) { said = std::move(text); });
        loop.runUntilIdle();
        EXPECT_EQ(said, c.said);
        EXPECT_EQ(seen.password, "pw 1");
        EXPECT_NE(seen.clientId, "vigilo-") << "its own client id";
        EXPECT_FALSE(seen.will);
    }

    settings.mqttBroker.set("mqtt://u:p@broker.lan");
    std::string said;
    service.testConnection([&](std::string text) { said = std::move(text); });
    loop.runUntilIdle();
    EXPECT_EQ(said, "Put the user name in its own field, not in the broker address.");
}

}  // namespace
}  // namespace vigilo
