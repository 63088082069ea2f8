#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vigilo {

inline constexpr const char* kRejectedFileSuffix = ".bad";

// Keeps a file the application could not use as `file` + ".bad" (replacing
// an older one), so that what the user had can still be recovered by hand
// after the application writes a fresh file in its place. The file itself
// stays where it is; it is linked rather than copied when the file system
// allows, so this works for any kind of file and never reads it. Returns an
// error description on failure.
std::optional<std::string> keepRejectedCopy(const std::filesystem::path& file);

}  // namespace vigilo
