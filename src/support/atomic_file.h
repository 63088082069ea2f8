#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vigilo {

// Replaces `path` with `contents` so that readers (and a crash at any point)
// see either the old file or the new one, never a torn or empty one: writes a
// temporary file in the same folder, flushes it to disk and renames it over
// the target. Creates missing parent folders. Returns an error
// description on failure, in which case the old file is untouched.
std::optional<std::string> writeFileAtomically(const std::filesystem::path& path, std::string_view contents,
                                               mode_t mode = 0644);

// Reads a whole file; nullopt when it cannot be read.
std::optional<std::string> readWholeFile(const std::filesystem::path& path);

}  // namespace vigilo
