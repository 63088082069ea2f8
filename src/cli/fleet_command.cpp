// `vigilo fleet [--json]`: every computer on the MQTT broker, from its
// retained messages.
#include "cli/fleet_command.h"



#include "app/mqtt/fleet_listing.h"
#include "app/mqtt/mqtt_address.h"
#include "app/mqtt/node_id.h"
#include "cli/cli_runner.h"
#include "support/tr.h"

namespace vigilo {

int runFleetCommand(FleetEnvironment& environment, bool asJson, std::ostream& out, std::ostream& err) {
    const auto options = environment.options();
    if (!options.enabled || options.broker.empty()) {
        err << tr("MQTT is off; switch it on in Settings or set mqttEnabled.") << '\n';
        return 1;
    }
    auto parsed = parseMqttBroker(options.broker);
    if (auto* reason = std::get_if<std::string>(&parsed)) {
        err << *reason << '\n';
        return 1;
    }
    if (auto problem = mqttPrefixProblem(options.topicPrefix)) {
        err << *problem << '\n';
        return 1;
    }
    auto endpoint = std::get<MqttEndpoint>(parsed);
    endpoint.caFile = options.caFile;
    const auto connection = fleetConnection(endpoint, options, environment.password(), "fleet");
    const auto snapshot = environment.reader().collect(
        connection, {options.topicPrefix + "/+/state", options.topicPrefix + "/+/availability"}, kFleetWait,
        kFleetMaxMessages);
    if (snapshot.failure) {
        err << mqttFailureText(*snapshot.failure, endpoint) << '\n';
        return 1;
    }
    const auto machineId = environment.machineId();
    const auto ownNode = machineId ? mqttNodeId(*machineId) : std::nullopt;
    const auto listing = buildFleetListing(snapshot.messages, options.topicPrefix, ownNode.value_or(""));
    if (asJson) {
        auto array = nlohmann::ordered_json::array();
        for (const auto& computer : listing.computers) array.push_back(fleetJson(computer));
        out << array.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    } else {
        for (const auto& computer : listing.computers) out << fleetLine(computer) << '\n';
    }
    if (listing.leftOut > 0) {
        err << trPluralFormat("… and {} more computer not shown.", "… and {} more computers not shown.",
                              listing.leftOut, listing.leftOut)
            << '\n';
    }
    if (snapshot.truncated) err << tr("The broker sent more messages than are read; some computers are not shown.") << '\n';
    if (listing.computers.empty()) {
        err << trFormat("No computer has published under {}/ yet.", options.topicPrefix) << '\n';
    }
    return 0;
}

// The broker is the application's only peer here: no socket, so it works
// with the application stopped.
int CLIRunner::runFleet(const std::vector<std::string>& args) {
    const bool asJson = args.size() == 2 && args[1] == "--json";
    if (args.size() > 2 || (args.size() == 2 && !asJson)) {
        services_.err << tr("Usage: vigilo fleet [--json]") << '\n';
        return kUsage;
    }
    auto environment = services_.makeFleetEnvironment ? services_.makeFleetEnvironment() : nullptr;
    if (!environment) {
        services_.err << tr("MQTT support is not installed.") << '\n';
        return kFailure;
    }
    return runFleetCommand(*environment, asJson, services_.out, services_.err);
}

}  // namespace vigilo
