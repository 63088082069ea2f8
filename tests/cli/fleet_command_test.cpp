#include "cli/fleet_command.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vigilo {
namespace {

class BrokerWithComputers final : public FleetEnvironment, public MqttSnapshotReader {
public:
    explicit BrokerWithComputers(int count) {
        for (int i = 0; i < count; ++i) {
            const auto state = fmt::format(R"({{"host":"h{:03}","mode":"Awake On","tasks":[]}})", i);
            snapshot_.messages.push_back({fmt::format("vigilo/n{:03}/state", i), state, true});
        }
    }
    MqttOptions options() override { return {.enabled = true, .broker = "mqtt://broker.lan"}; }
    std::optional<std::string> password() override { return std::nullopt; }
    std::optional<std::string> machineId() override { return std::nullopt; }
    MqttSnapshotReader& reader() override { return *this; }
    MqttSnapshot collect(const MqttConnection&, const std::vector<std::string>&, std::chrono::milliseconds,
                         std::size_t) override {
        return snapshot_;
    }

private:
    MqttSnapshot snapshot_;
};

// The count of computers left out takes the plural form its number needs.
TEST(FleetCommand, ComputersPastTheLimitAreCountedInTheirPluralForm) {
    const struct {
        int computers;
        const char* note;
    } cases[] = {
        {200, ""},
        {201, "\u2026 and 1 more computer not shown.\n"},
        {203, "\u2026 and 3 more computers not shown.\n"},
    };
    for (const auto& c : cases) {
        BrokerWithComputers broker(c.computers);
        std::ostringstream out, err;
        EXPECT_EQ(runFleetCommand(broker, false, out, err), 0);
        EXPECT_EQ(err.str(), c.note) << c.computers;
        const auto text = out.str();
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 200) << c.computers;
    }
}

}  // namespace
}  // namespace vigilo
