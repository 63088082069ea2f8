#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vigilo {

// Bounds of the Auto Mode watch list. They keep the stored settings
// readable, and every reply that carries the list (`status`, `watch`,
// `patterns`) well under the 64 KiB that both ends of the socket read.
inline constexpr std::size_t kMaxWatchPatternBytes = 256;
inline constexpr std::size_t kMaxWatchListBytes = 32 * 1024;  // as JSON text on the socket

// Makes a list about to be stored tidy: every entry trimmed of white space
// and line breaks, blank entries and repeats of an earlier entry dropped.
// Returns why the list is refused when an entry is longer than
// kMaxWatchPatternBytes or the list's JSON text longer than
// kMaxWatchListBytes; the text names the limit.
std::optional<std::string> tidyWatchList(std::vector<std::string>& patterns);

// Makes a stored list fit: tidied, entries that are too long dropped, and
// the list cut after the last entry that fits. Returns how many entries
// were dropped for the limits.
std::size_t fitWatchList(std::vector<std::string>& patterns);

}  // namespace vigilo
