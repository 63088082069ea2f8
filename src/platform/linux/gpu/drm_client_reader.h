#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/gpu/drm_fdinfo.h"

namespace vigilo {

// The DRM clients one process holds, as its /proc folder shows them.
struct ProcessDrmClients {
    enum class Status {
        read,        // `clients` holds every DRM descriptor's client (maybe none)
        gone,        // the process exited
        unreadable,  // another user's process: the kernel hides its descriptors
        failed,      // too many descriptors or a malformed one; `problem` says which
    };
    Status status = Status::gone;
    std::vector<DrmClient> clients;  // in descriptor order, duplicates kept
    std::string problem;
};

// Descriptors past this many are not looked at: the process is not measured.
inline constexpr std::size_t kMaxDescriptorsExamined = 4096;
// An fdinfo file larger than this is not a DRM descriptor's.
inline constexpr std::size_t kMaxFdinfoBytes = 16 * 1024;

// What an earlier read of one process's descriptors found, so that the next
// read can skip what cannot have changed.
struct DescriptorMemo {
    std::vector<int> notDrm;  // descriptors that are not DRM ones, sorted
    std::int64_t count = 0;   // descriptors open then, from the fd folder's size; 0: unknown
    bool heldDrm = false;
};

// Lists <procRoot>/<pid>/fd and reads the fdinfo of each descriptor whose
// link points under /dev/dri/. With a `memo` of an earlier read, a process
// that held no DRM descriptor and still has as many open is not listed
// again (the kernel gives the count as the folder's size), and descriptors
// known not to be DRM ones cost no readlink; the memo is brought up to date,
// and emptied when the read fails. A number reused meanwhile for a render
// node is missed until the caller drops the memo. Never blocks on a file:
// /proc's files answer at once, and anything else in a test tree is opened
// without blocking. Safe from any thread.
ProcessDrmClients readDrmClients(const std::string& procRoot, std::int32_t pid, DescriptorMemo* memo = nullptr);

}  // namespace vigilo
