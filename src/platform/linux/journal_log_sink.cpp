#include "platform/linux/journal_log_sink.h"

#include <syslog.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

namespace vigilo {

void JournalLogSink::write(LogLevel level, std::string_view category, std::string_view message) {
    sd_journal_send("MESSAGE=%.*s", static_cast<int>(message.size()), message.data(),
                    "PRIORITY=%i", level == LogLevel::error ? LOG_ERR : LOG_INFO,
                    "SYSLOG_IDENTIFIER=vigilo",
                    "VIGILO_SUBSYSTEM=%.*s", static_cast<int>(kLogSubsystem.size()), kLogSubsystem.data(),
                    "VIGILO_CATEGORY=%.*s", static_cast<int>(category.size()), category.data(),
                    nullptr);
}

bool journalAvailable() {
    return ::access("/run/systemd/journal/socket", W_OK) == 0;
}

std::shared_ptr<LogSink> journalOr(std::shared_ptr<LogSink> fallback) {
    if (journalAvailable()) return std::make_shared<JournalLogSink>();
    return fallback;
}

}  // namespace vigilo
