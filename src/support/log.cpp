#include "support/log.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace vigilo {

namespace {

std::shared_ptr<LogSink>& currentSink() {
    static std::shared_ptr<LogSink> sink = std::make_shared<StderrLogSink>();
    return sink;
}

std::mutex& sinkMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

void setLogSink(std::shared_ptr<LogSink> sink) {
    std::lock_guard lock(sinkMutex());
    currentSink() = std::move(sink);
}

std::shared_ptr<LogSink> logSink() {
    std::lock_guard lock(sinkMutex());
    return currentSink();
}

void StderrLogSink::write(LogLevel level, std::string_view category, std::string_view message) {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::fprintf(stderr, "vigilo[%.*s]%s: %.*s\n", static_cast<int>(category.size()), category.data(),
                 level == LogLevel::error ? " error" : "", static_cast<int>(message.size()), message.data());
}

void Logger::emit(LogLevel level, const std::string& message) const {
    if (auto sink = logSink()) sink->write(level, category_, message);
}

}  // namespace vigilo
