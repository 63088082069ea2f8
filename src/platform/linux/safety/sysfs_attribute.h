#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vigilo {

// Small readers for sysfs attribute files. A missing file, a read error, an
// over-long value or text that is not what was asked for all come back as
// nothing; none of them throws.

// The first line of the file without surrounding white space.
std::optional<std::string> readAttribute(const std::filesystem::path& file);

// A whole decimal integer (optionally signed), nothing else on the line.
std::optional<std::int64_t> readIntegerAttribute(const std::filesystem::path& file);

// The entries of `folder` sorted by name; empty when it cannot be listed.
std::vector<std::filesystem::path> listFolder(const std::filesystem::path& folder);

// Parses a whole decimal integer; nothing for anything else.
std::optional<std::int64_t> parseInteger(std::string_view text);

}  // namespace vigilo
