#include "app/mqtt/mqtt_address.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "app/mqtt/node_id.h"

namespace vigilo {
namespace {

TEST(MqttAddress, BrokerAddressesParseWithDefaultPortsOrSayWhatIsWrong) {
    const struct {
        const char* text;
        const char* host;  // nullptr: refused
        int port;
        bool tls;
        const char* reason;
    } cases[] = {
        {"mqtt://broker.lan", "broker.lan", 1883, false, nullptr},
        {"MQTTS://broker.lan", "broker.lan", 8883, true, nullptr},
        {"mqtt://10.0.0.2:1884/", "10.0.0.2", 1884, false, nullptr},
        {"mqtts://[::1]:9000", "::1", 9000, true, nullptr},
        {"mqtt://[fe80::1]", "fe80::1", 1883, false, nullptr},
        {"http://broker.lan", nullptr, 0, false, "must start with mqtt://"},
        {"broker.lan:1883", nullptr, 0, false, "must start with mqtt://"},
        {"mqtt://user:pw@broker.lan", nullptr, 0, false, "user name in its own field"},
        {"mqtt://broker.lan/topic", nullptr, 0, false, "no path"},
        {"mqtt://broker.lan?x=1", nullptr, 0, false, "no path"},
        {"mqtt://bro ker", nullptr, 0, false, "spaces"},
        {"mqtt://", nullptr, 0, false, "no host"},
        {"mqtt://:1883", nullptr, 0, false, "no host"},
        {"mqtt://broker:0", nullptr, 0, false, "1 to 65535"},
        {"mqtt://broker:65536", nullptr, 0, false, "1 to 65535"},
        {"mqtt://broker:12ab", nullptr, 0, false, "1 to 65535"},
        {"mqtt://broker:", nullptr, 0, false, "1 to 65535"},
        {"mqtt://[::1", nullptr, 0, false, "unclosed"},
        {"mqtt://[::1]x", nullptr, 0, false, "after its host"},
    };
    for (const auto& c : cases) {
        const auto parsed = parseMqttBroker(c.text);
        if (c.host) {
            ASSERT_TRUE(std::holds_alternative<MqttEndpoint>(parsed)) << c.text << ": " << std::get<std::string>(parsed);
            const auto& endpoint = std::get<MqttEndpoint>(parsed);
            EXPECT_EQ(endpoint, (MqttEndpoint{c.host, c.port, c.tls, ""})) << c.text;
        } else {
            ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << c.text;
            EXPECT_NE(std::get<std::string>(parsed).find(c.reason), std::string::npos)
                << c.text << ": " << std::get<std::string>(parsed);
        }
    }
}

TEST(MqttAddress, TopicPrefixesAreWordsAndSingleSlashesWithoutWildcards) {
    for (const char* fine : {"vigilo", "home/vigilo", "homeassistant", "a b"}) {
        EXPECT_EQ(mqttPrefixProblem(fine), std::nullopt) << fine;
    }
    for (const char* bad : {"", "#", "vigilo/+", "/vigilo", "vigilo/", "a#b", "a//b"}) {
        EXPECT_NE(mqttPrefixProblem(bad), std::nullopt) << bad;
    }
    EXPECT_NE(mqttPrefixProblem(std::string_view("a\0b", 3)), std::nullopt);
}

TEST(MqttAddress, FailuresReadAsTheSettingsWindowSaysThem) {
    const MqttEndpoint endpoint{"broker.lan", 1883, false, ""};
    using Kind = MqttFailure::Kind;
    EXPECT_EQ(mqttFailureText({Kind::refusedLogin, "not authorised"}, endpoint),
              "The broker refused the user name or password.");
    EXPECT_EQ(mqttFailureText({Kind::unreachable, "Connection refused"}, endpoint),
              "No broker answers at broker.lan:1883.");
    EXPECT_EQ(mqttFailureText({Kind::untrusted, "certificate verify failed"}, endpoint),
              "The broker's certificate is not trusted: certificate verify failed.");
    EXPECT_EQ(mqttFailureText({Kind::unreachable, ""}, {"::1", 8883, true, ""}), "No broker answers at [::1]:8883.");
}

TEST(MqttNodeId, IsTheStartOfSha256OfTheMachineIdAndVigilo) {
    // Known answers of SHA-256 itself, then the node id, which was checked
    // with `printf %s <id>vigilo | sha256sum`.
    const auto hex = [](const std::array<std::uint8_t, 32>& digest) {
        std::string out;
        for (auto byte : digest) out += fmt::format("{:02x}", byte);
        return out;
    };
    EXPECT_EQ(hex(sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex(sha256("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex(sha256(std::string(1000, 'a'))),
              "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3");

    EXPECT_EQ(mqttNodeId("0123456789abcdef0123456789abcdef\n"), "40dad2d5f67c");
    EXPECT_EQ(mqttNodeId("0123456789abcdef0123456789abcdef"), "40dad2d5f67c");
    EXPECT_EQ(mqttNodeId(""), std::nullopt);
    EXPECT_EQ(mqttNodeId("0123456789abcdef0123456789abcdeg\n"), std::nullopt);
    EXPECT_EQ(mqttNodeId("0123456789abcdef"), std::nullopt);
}

}  // namespace
}  // namespace vigilo
