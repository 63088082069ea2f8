#pragma once

#include <string>

namespace vigilo {

// The proof that this process is the only running instance for its user: an
// flock on a file in the private runtime folder, held for the object's life
// and dropped by the kernel however the process ends. The file itself stays:
// removing it would let a later process lock a new file while an older one
// still holds the old.
class InstanceLock {
public:
    enum class Status { held, heldElsewhere, failed };

    // Opens (creating it 0600 if needed) and locks `path` without waiting.
    explicit InstanceLock(const std::string& path);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    Status status() const { return status_; }
    // Why the lock could not be had when failed.
    const std::string& error() const { return error_; }

private:
    int fd_ = -1;
    Status status_ = Status::failed;
    std::string error_;
};

}  // namespace vigilo
