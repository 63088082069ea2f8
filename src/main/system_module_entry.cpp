// The entry points of libvigilo-system.so.
#include "main/entry_points.h"
#include "main/system_module_abi.h"
#include "platform/linux/inhibitors/linux_inhibitor_sources.h"
#include "platform/linux/journal_log_sink.h"
#include "platform/linux/power/linux_power_management.h"

extern "C" {

__attribute__((visibility("default"))) int vigilo_system_run_application(const std::vector<std::string>* arguments) {
    return vigilo::runApplication(*arguments);
}

__attribute__((visibility("default"))) vigilo::PowerManagement* vigilo_system_make_power_management() {
    return new vigilo::LinuxPowerManagement();
}

__attribute__((visibility("default"))) vigilo::InhibitorSources* vigilo_system_make_inhibitor_sources() {
    return new vigilo::LinuxInhibitorSources();
}

__attribute__((visibility("default"))) vigilo::LogSink* vigilo_system_make_journal_sink() {
    return vigilo::journalAvailable() ? new vigilo::JournalLogSink() : nullptr;
}

}  // extern "C"
