#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/linux/desktop/ini_text.h"

namespace vigilo {

// Reading and writing one of KDE's configuration files in the user's
// folder for the lid settings. Configuration folders are often kept
// elsewhere and linked in, so links are followed, and the link stays a link.
// Blocking file work for the main thread; problems are logged ("Clamshell").

// Larger files are not KDE's: they are left alone.
inline constexpr std::uintmax_t kMaxKdeConfigBytes = 1024 * 1024;

// The file as text; a missing one (or a link to a missing one) reads as
// empty. nullopt, logged, for anything that is not a KDE configuration file
// we dare edit: not text, too big, not a regular file.
std::optional<IniText> readKdeConfig(const std::filesystem::path& path);

// Why writing `path` would do what its owner did not ask for: a link to a
// missing file (writing would put a file in the link's place), a file or a
// folder the user may not write. nullopt when it can be written.
std::optional<std::string> whyKdeConfigIsNotWritable(const std::filesystem::path& path);

// Writes `config` atomically through a link, keeping the file's mode; when
// the text is empty and `removeIfEmpty`, removes the file instead. Refuses
// (logged) what whyKdeConfigIsNotWritable() names.
bool writeKdeConfig(const std::filesystem::path& path, const IniText& config, bool removeIfEmpty);

}  // namespace vigilo
