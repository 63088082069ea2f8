#pragma once

#include <fmt/format.h>

#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace vigilo {

enum class LogLevel { info, error };

// Where log lines go: the journal, standard error, or a test's capture.
// write() may be called from any thread; sinks serialise themselves.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void write(LogLevel level, std::string_view category, std::string_view message) = 0;
};

inline constexpr std::string_view kLogSubsystem = "com.vigilo.app";

// Replaces the process-wide sink; nullptr discards everything. Set it once at
// start-up (and in tests), not while other threads log.
void setLogSink(std::shared_ptr<LogSink> sink);
std::shared_ptr<LogSink> logSink();

// One line per message on standard error: "vigilo[Category]: message".
class StderrLogSink final : public LogSink {
public:
    void write(LogLevel level, std::string_view category, std::string_view message) override;
};

// A logger for one category ("IPC", "PowerAssertion", ...).
class Logger {
public:
    explicit Logger(std::string category) : category_(std::move(category)) {}

    template <class... Args>
    void info(fmt::format_string<Args...> format, Args&&... args) const {
        emit(LogLevel::info, fmt::format(format, std::forward<Args>(args)...));
    }
    template <class... Args>
    void error(fmt::format_string<Args...> format, Args&&... args) const {
        emit(LogLevel::error, fmt::format(format, std::forward<Args>(args)...));
    }
    const std::string& category() const { return category_; }

private:
    void emit(LogLevel level, const std::string& message) const;
    std::string category_;
};

}  // namespace vigilo
