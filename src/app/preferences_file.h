#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace vigilo {

inline constexpr const char* kPreferencesFileName = "preferences.json";

// Preferences are a handful of small values; anything bigger is not ours.
inline constexpr std::uintmax_t kMaxPreferencesFileSize = 1 << 20;

// What a preferences file held, as far as it could be understood.
struct PreferencesContents {
    // The top-level keys with their stored values. Wrong-typed values stay
    // here (each reader decides); values that were not valid UTF-8 do not.
    nlohmann::json values = nlohmann::json::object();

    // The file holds something `values` cannot reproduce (it is unparsable,
    // too big, too deeply nested, or had bytes that are not UTF-8): keep a
    // copy before the first write replaces it.
    bool keepOriginal = false;

    // Why the file was not fully understood; empty when it was.
    std::string problem;
};

// Reads a preferences file. A missing file is empty and fine; a file that is
// not a JSON object reads as empty with keepOriginal set (keep it with
// keepRejectedCopy). Never throws.
PreferencesContents readPreferencesFile(const std::filesystem::path& path);

// The same for a file's bytes once read.
PreferencesContents parsePreferencesText(std::string_view raw);

}  // namespace vigilo
