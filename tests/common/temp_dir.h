#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vigilo::testing {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    // Writes `contents` to `relative`, creating parent folders.
    std::filesystem::path write(const std::string& relative, const std::string& contents) const;

private:
    std::filesystem::path path_;
};

// The whole contents of a file; nullopt when it cannot be opened.
std::optional<std::string> readFile(const std::filesystem::path& path);

}  // namespace vigilo::testing
