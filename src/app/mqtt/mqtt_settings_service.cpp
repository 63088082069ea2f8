#include "app/mqtt/mqtt_settings_service.h"

#include <set>

#include "app/mqtt/app_state_mqtt.h"
#include "app/mqtt/mqtt_address.h"
#include "app/mqtt/fleet_listing.h"
#include "support/tr.h"

namespace vigilo {

MqttSettingsService::MqttSettingsService(Loop& loop, AppSettings& settings, CredentialStore& store,
                                         ReaderFactory makeReader, std::function<void()> passwordStored)
    : loop_(loop),
      settings_(settings),
      store_(store),
      makeReader_(std::move(makeReader)),
      passwordStored_(std::move(passwordStored)) {}

void MqttSettingsService::setPassword(const std::string& password,
                                      std::function<void(std::optional<std::string>)> done) {
    loop_.runInBackground([&store = store_, password] { return store.write(password); },
                          [this, life = life_.weak(), done = std::move(done)](std::optional<std::string> failure) {
                              if (life.expired()) return;
                              if (!failure && passwordStored_) passwordStored_();
                              if (done) done(std::move(failure));
                          });
}

void MqttSettingsService::testConnection(std::function<void(std::string)> done) {
    const auto options = AppStateMqtt::optionsOf(settings_);
    auto parsed = parseMqttBroker(options.broker);
    if (auto* reason = std::get_if<std::string>(&parsed)) {
        loop_.post([done = std::move(done), reason = *reason] { done(reason); });
        return;
    }
    auto endpoint = std::get<MqttEndpoint>(parsed);
    endpoint.caFile = options.caFile;
    loop_.runInBackground(
        [&store = store_, makeReader = makeReader_, options, endpoint] {
            auto reader = makeReader ? makeReader() : nullptr;
            if (!reader) return std::string(tr("MQTT support is not installed."));
            const auto connection = fleetConnection(endpoint, options, store.read(), "test");
            const auto snapshot = reader->collect(
                connection, {options.topicPrefix + "/+/state", options.topicPrefix + "/+/availability"},
                kFleetWait, kFleetMaxMessages);
            return mqttTestResult(snapshot, endpoint, options.topicPrefix);
        },
        [life = life_.weak(), done = std::move(done)](std::string text) {
            if (!life.expired()) done(std::move(text));
        });
}

std::string mqttTestResult(const MqttSnapshot& snapshot, const MqttEndpoint& endpoint, const std::string& prefix) {
    if (snapshot.failure) return mqttFailureText(*snapshot.failure, endpoint);
    std::set<std::string> nodes;
    const auto start = prefix + "/";
    for (const auto& message : snapshot.messages) {
        if (!message.topic.starts_with(start) || message.payload.empty()) continue;
        const auto rest = message.topic.substr(start.size());
        nodes.insert(rest.substr(0, rest.find('/')));
    }
    return trPluralFormat("Connected to {} \u2014 {} computer seen", "Connected to {} \u2014 {} computers seen",
                          nodes.size(), endpoint.host, nodes.size());
}

}  // namespace vigilo
