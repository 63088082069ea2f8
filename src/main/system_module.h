#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/inhibitor_sources.h"
#include "platform/power_management.h"
#include "support/log.h"

namespace vigilo {

// The executable's side of libvigilo-system.so, loaded on first use.
namespace SystemModule {

// Runs the application; 1 with a message on standard error when the module
// cannot be loaded.
int runApplication(const std::vector<std::string>& arguments);

// The Linux power locks; one that refuses every request when the module
// cannot be loaded.
std::unique_ptr<PowerManagement> makePowerManagement();

// The system's sleep and idle locks, read once (nothing watched); nullptr
// when the module cannot be loaded.
std::unique_ptr<InhibitorSources> makeInhibitorSources();

// A sink that loads the module and opens the journal at its first line, so
// that a command that logs nothing never loads either; lines are dropped
// when there is no journal.
std::shared_ptr<LogSink> lazyJournalSink();

}  // namespace SystemModule

}  // namespace vigilo
