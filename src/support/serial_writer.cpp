#include "support/serial_writer.h"

#include "support/atomic_file.h"

namespace vigilo {

SerialWriter::SerialWriter() : thread_([this] { run(); }) {}

SerialWriter::~SerialWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void SerialWriter::write(std::filesystem::path path, std::string contents, mode_t mode, Completion done) {
    {
        std::lock_guard lock(mutex_);
        pending_[std::move(path)] = Pending{std::move(contents), mode, std::move(done)};
    }
    changed_.notify_all();
}

void SerialWriter::flush() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return pending_.empty() && !writing_; });
}

void SerialWriter::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
        if (pending_.empty()) return;  // stopping, and nothing left to write
        auto node = pending_.extract(pending_.begin());
        writing_ = true;
        lock.unlock();
        auto error = writeFileAtomically(node.key(), node.mapped().contents, node.mapped().mode);
        if (node.mapped().done) node.mapped().done(error);
        lock.lock();
        writing_ = false;
        changed_.notify_all();
    }
}

}  // namespace vigilo
