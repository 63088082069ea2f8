#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/log.h"

namespace vigilo::testing {

// Captures log lines as "Category: message" (errors as "Category: error: message")
// while it exists, then puts the previous sink back.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines() const;
    bool contains(const std::string& line) const;
    void clear();

private:
    class Sink;
    std::shared_ptr<Sink> sink_;
    std::shared_ptr<LogSink> previous_;
};

}  // namespace vigilo::testing
