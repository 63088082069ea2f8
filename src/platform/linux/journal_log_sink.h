#pragma once

#include <memory>

#include "support/log.h"

namespace vigilo {

// Writes each line to the systemd journal with SYSLOG_IDENTIFIER=vigilo,
// the subsystem and the category as fields.
class JournalLogSink final : public LogSink {
public:
    void write(LogLevel level, std::string_view category, std::string_view message) override;
};

// Whether the journal's socket is there to write to.
bool journalAvailable();

// The journal when its socket is there; otherwise `fallback`.
std::shared_ptr<LogSink> journalOr(std::shared_ptr<LogSink> fallback);

}  // namespace vigilo
