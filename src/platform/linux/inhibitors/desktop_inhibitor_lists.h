#pragma once

#include <chrono>
#include <optional>
#include <vector>

#include "platform/inhibitor_sources.h"
#include "platform/linux/dbus/bus.h"

namespace vigilo {

// GNOME's inhibitors: GetInhibitors, then each one's app id, reason and
// flags. The whole read stays within `budget`; inhibitors not read by then,
// or gone meanwhile, are left out. nullopt with `error` set when the list
// itself cannot be had (no GNOME session, a wrong reply).
std::optional<std::vector<GnomeLock>> readGnomeInhibitors(sd_bus* sessionBus, std::chrono::microseconds budget,
                                                          dbus::BusError& error);

// KDE's inhibitions: the ones in force (ActiveInhibitions, Plasma 6.5 and
// later), else ListInhibitions, whose reply is a(ss) on Plasma 5 and aas on
// Plasma 6 whatever its interface says: told apart by the reply's signature.
std::optional<std::vector<KdeLock>> readKdeInhibitions(sd_bus* sessionBus, std::chrono::microseconds budget,
                                                       dbus::BusError& error);

}  // namespace vigilo
