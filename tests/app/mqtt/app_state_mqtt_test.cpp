// Commands from the broker carried out on the real controller, with the
// harmless rules, and the state they lead to.
#include "app/mqtt/app_state_mqtt.h"

#include <gmock/gmock.h>

#include "app/app_state_fixture.h"
#include "common/log_capture.h"

namespace vigilo::testing {
namespace {

using namespace std::chrono_literals;
using K = KeepAwakeMode::Kind;

struct Wire {
    MqttClient::Events events;
    std::vector<MqttMessage> published;
};

class WireClient final : public MqttClient {
public:
    explicit WireClient(Wire& wire) : wire_(wire) {}
    void connect(const MqttConnection&, Events events, std::chrono::seconds) override {
        wire_.events = std::move(events);
    }
    void publish(const MqttMessage& m) override { wire_.published.push_back(m); }
    void subscribe(const std::string&) override {}
    void disconnect(std::chrono::milliseconds) override {}

private:
    Wire& wire_;
};

class AppStateMqttTest : public AppStateTest {
protected:
    std::unique_ptr<AppStateMqtt> connect() {
        settings.mqttEnabled.set(true);
        settings.mqttBroker.set("mqtt://broker.lan");
        auto mqtt = std::make_unique<AppStateMqtt>(
            state(), lid, "n1", "gpu-box", [this] { return std::make_unique<WireClient>(wire); },
            [] { return std::nullopt; });
        loop.runUntilIdle();
        wire.events.connected();
        return mqtt;
    }

    std::string lastState() const {
        for (auto it = wire.published.rbegin(); it != wire.published.rend(); ++it) {
            if (it->topic == "vigilo/n1/state") return it->payload;
        }
        return "";
    }

    Wire wire;
};

TEST_F(AppStateMqttTest, CommandsFollowTheHarmlessRulesAndTouchNothingElse) {
    const struct {
        K from;
        const char* command;
        const char* payload;
        K to;
    } cases[] = {
        {K::off, "keep_awake", "ON", K::on},          {K::timer, "keep_awake", "ON", K::timer},
        {K::autoWatch, "keep_awake", "ON", K::autoWatch}, {K::on, "keep_awake", "ON", K::on},
        {K::off, "keep_awake", "OFF", K::off},        {K::on, "keep_awake", "OFF", K::off},
        {K::timer, "keep_awake", "OFF", K::off},      {K::off, "auto_mode", "ON", K::autoWatch},
        {K::autoWatch, "auto_mode", "ON", K::autoWatch}, {K::on, "auto_mode", "OFF", K::on},
        {K::autoWatch, "auto_mode", "OFF", K::off},   {K::on, "timer", "90", K::timer},
        {K::on, "sleep", "ON", K::on},                {K::on, "keep_awake", "OFF ", K::on},
        {K::off, "timer", "0", K::off},
    };
    auto mqtt = connect();
    for (const auto& c : cases) {
        state().stop();
        if (c.from == K::on) state().startAlwaysOn();
        if (c.from == K::timer) state().startTimer(600);
        if (c.from == K::autoWatch) state().toggleAutoWatch();
        ASSERT_TRUE(state().mode.get().is(c.from));
        writer.flush();
        const auto stored = testing::readFile(settings.preferencesFile());

        wire.events.message({std::string("vigilo/n1/set/") + c.command, c.payload});
        EXPECT_TRUE(state().mode.get().is(c.to)) << c.command << " " << c.payload;
        writer.flush();
        if (c.command != std::string("auto_mode")) {
            EXPECT_EQ(testing::readFile(settings.preferencesFile()), stored) << c.command << " " << c.payload;
        }
    }

    // A timer runs for the seconds given, and the state says so within two seconds.
    wire.events.message({"vigilo/n1/set/timer", "90"});
    EXPECT_EQ(state().mode.get().expiresAt(), loop.clock().wallNow() + 90s);
    loop.fastForwardBy(2s);
    EXPECT_THAT(lastState(), ::testing::HasSubstr(R"("mode":"Timer Active","awake":true)"));
}

// Nobody at this screen sees a battery question a remote command would
// raise: it would hold the command, and the main loop, until someone does.
TEST_F(AppStateMqttTest, OnBatteryCommandsGoAheadWithTheWarningInTheLogNotADialog) {
    const struct {
        const char* command;
        const char* payload;
        K to;
    } cases[] = {{"keep_awake", "ON", K::on}, {"auto_mode", "ON", K::autoWatch}, {"timer", "90", K::timer}};
    powerSources.setBattery(80, false);
    dialog.answer = false;
    auto mqtt = connect();
    for (const auto& c : cases) {
        state().stop();
        LogCapture logs;
        wire.events.message({std::string("vigilo/n1/set/") + c.command, c.payload});
        EXPECT_TRUE(state().mode.get().is(c.to)) << c.command;
        EXPECT_THAT(logs.lines(), ::testing::Contains(::testing::StartsWith("AppState: Running on battery: Keeping "
                                                                            "the system awake on battery"))
                                      .Times(1))
            << c.command;
    }
    EXPECT_THAT(dialog.asked, ::testing::IsEmpty());
    state().startTimer(60);
    EXPECT_EQ(dialog.asked.size(), 1u) << "the person at the screen is still asked";
}

}  // namespace
}  // namespace vigilo::testing
