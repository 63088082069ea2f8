#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vigilo {

// Replaces `path` with `contents` so that readers (and a crash at any point)
// see either the old file or the new one, never a torn or empty one: writes a
// temporary file in the same folder, flushes it to disk and renames it over
// the target. Creates missing parent folders durably. Returns an error
// description on failure, in which case the old file is untouched.
//
// The temporary is named "." + file name + "." + kTemporaryRandomLength
// letters and digits (mkstemp's template), so that one killed mid-write can
// be told from the user's own files and cleaned up.
inline constexpr std::size_t kTemporaryRandomLength = 6;
std::string temporaryNamePrefix(const std::string& fileName);

std::optional<std::string> writeFileAtomically(const std::filesystem::path& path, std::string_view contents,
                                               mode_t mode = 0644);

// Creates `folder` and its missing parents, syncing each new folder into its
// parent: a file synced into a new folder must not vanish in a crash because
// the folder's own entry never reached the disk. Returns an error
// description on failure.
std::optional<std::string> createFoldersDurably(const std::filesystem::path& folder);

}  // namespace vigilo
