#pragma once

#include <string>
#include <vector>

#include "platform/inhibitor_sources.h"
#include "platform/power_management.h"
#include "support/log.h"

// What libvigilo-system.so exports: everything that needs libsystemd (the
// application, the power locks of wrap mode, the journal). The command
// line's daemon commands, help and version never load it, so they start
// without libsystemd and its compression and crypto libraries.
extern "C" {
using VigiloRunApplication = int (*)(const std::vector<std::string>* arguments);
using VigiloMakePowerManagement = vigilo::PowerManagement* (*)();
using VigiloMakeInhibitorSources = vigilo::InhibitorSources* (*)();
// nullptr when no journal runs.
using VigiloMakeJournalSink = vigilo::LogSink* (*)();
}

namespace vigilo {
inline constexpr const char* kSystemModuleFile = "libvigilo-system.so";
inline constexpr const char* kRunApplicationSymbol = "vigilo_system_run_application";
inline constexpr const char* kMakePowerManagementSymbol = "vigilo_system_make_power_management";
inline constexpr const char* kMakeInhibitorSourcesSymbol = "vigilo_system_make_inhibitor_sources";
inline constexpr const char* kMakeJournalSinkSymbol = "vigilo_system_make_journal_sink";
}  // namespace vigilo
