#include "common/log_capture.h"

#include <algorithm>

namespace vigilo::testing {

class LogCapture::Sink final : public LogSink {
public:
    void write(LogLevel level, std::string_view category, std::string_view message) override {
        std::lock_guard lock(mutex);
        lines.push_back(std::string(category) + (level == LogLevel::error ? ": error: " : ": ") + std::string(message));
    }
    mutable std::mutex mutex;
    std::vector<std::string> lines;
};

LogCapture::LogCapture() : sink_(std::make_shared<Sink>()), previous_(logSink()) { setLogSink(sink_); }

LogCapture::~LogCapture() { setLogSink(previous_); }

std::vector<std::string> LogCapture::lines() const {
    std::lock_guard lock(sink_->mutex);
    return sink_->lines;
}

bool LogCapture::contains(const std::string& line) const {
    auto all = lines();
    return std::find(all.begin(), all.end(), line) != all.end();
}

void LogCapture::clear() {
    std::lock_guard lock(sink_->mutex);
    sink_->lines.clear();
}

}  // namespace vigilo::testing
