#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace vigilo {

// What reading one of the application's own files gave.
struct BoundedFile {
    enum class Status {
        ok,          // `contents` holds the whole file
        missing,     // no such file: nothing to read yet
        rejected,    // there is something, but not a file we can use
    };
    Status status = Status::missing;
    std::string contents;
    std::string problem;  // why it was rejected: "not a regular file", ...
};

// The one way the application reads a file it keeps (preferences, activity,
// webhooks, and any later one): it never blocks and never loads more than
// `maxBytes`. The file is opened without blocking, so that a FIFO or a
// device in its place cannot stall the caller; symbolic links are followed
// (dotfiles are often links); anything that is not a regular file, or that
// holds more than `maxBytes`, is rejected. Never throws.
BoundedFile readBoundedFile(const std::filesystem::path& path, std::uintmax_t maxBytes);

}  // namespace vigilo
