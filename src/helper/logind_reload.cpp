#include "helper/logind_reload.h"

#include <signal.h>
#include <systemd/sd-bus.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include <fmt/format.h>

namespace vigilo {
namespace {

constexpr const char* kLogindUnit = "systemd-logind.service";
// systemd answers at once; a bus that does not is not worth the caller's
// whole deadline.
constexpr std::uint64_t kCallTimeoutMicroseconds = 5'000'000;

struct BusCloser {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using Bus = std::unique_ptr<sd_bus, BusCloser>;

struct ErrorFreer {
    void operator()(sd_bus_error* error) const { sd_bus_error_free(error); }
};

HelperOutcome failure(const std::string& why) {
    return {kHelperFailed, fmt::format("cannot have systemd reload {}: {}", kLogindUnit, why)};
}

// A plain client connection to the address given, never one the
// environment could name.
int connect(const std::string& address, Bus& bus) {
    sd_bus* raw = nullptr;
    int result = sd_bus_new(&raw);
    if (result < 0) return result;
    bus.reset(raw);
    if ((result = sd_bus_set_address(raw, address.c_str())) < 0) return result;
    if ((result = sd_bus_set_bus_client(raw, 1)) < 0) return result;
    if ((result = sd_bus_set_method_call_timeout(raw, kCallTimeoutMicroseconds)) < 0) return result;
    return sd_bus_start(raw);
}

}  // namespace

HelperOutcome reloadLogind(const std::string& busAddress) {
    Bus bus;
    if (const int result = connect(busAddress, bus); result < 0) {
        return failure(fmt::format("no system bus at {}: {}", busAddress, std::strerror(-result)));
    }
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const std::unique_ptr<sd_bus_error, ErrorFreer> freeError(&error);
    const int result = sd_bus_call_method(bus.get(), "org.freedesktop.systemd1", "/org/freedesktop/systemd1",
                                          "org.freedesktop.systemd1.Manager", "KillUnit", &error, nullptr, "ssi",
                                          kLogindUnit, "main", static_cast<std::int32_t>(SIGHUP));
    if (result < 0) {
        return failure(sd_bus_error_is_set(&error) ? error.message : std::strerror(-result));
    }
    return {};
}

}  // namespace vigilo
