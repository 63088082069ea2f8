#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace vigilo {

// Writes file snapshots atomically on one background thread, in order. When
// several snapshots of the same file queue up, only the newest is written, so
// the file always ends up holding the last one submitted. The destructor
// writes whatever is still queued.
class SerialWriter {
public:
    // Called on the writer thread with the error description, if any.
    using Completion = std::function<void(const std::optional<std::string>& error)>;

    SerialWriter();
    ~SerialWriter();
    SerialWriter(const SerialWriter&) = delete;
    SerialWriter& operator=(const SerialWriter&) = delete;

    // Thread-safe.
    void write(std::filesystem::path path, std::string contents, mode_t mode = 0644, Completion done = {});

    // Blocks until everything submitted so far is on disk.
    void flush();

private:
    struct Pending {
        std::string contents;
        mode_t mode;
        Completion done;
    };
    void run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::filesystem::path, Pending> pending_;
    bool writing_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace vigilo
