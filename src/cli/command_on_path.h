#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

namespace vigilo {

// Which `vigilo` commands the person's PATH reaches, told apart into our
// own per-user wrapper and any other (the package's, the system-wide one):
// a per-user wrapper beside another is redundant, and stale once the
// package is gone.
struct VigiloOnPath {
    std::optional<std::filesystem::path> other;  // the first one that is not ours
    bool ours = false;                           // the per-user wrapper is on the PATH

    // The per-user command is offered only where nothing else answers to
    // `vigilo`; where only ours does, installing again repairs it.
    bool offersUserInstall() const { return !other; }
};

using IsProgram = std::function<bool(const std::filesystem::path&)>;

// Looks through `pathVariable` (the value of PATH) for a `vigilo` that
// `isProgram` accepts. Empty and relative entries are skipped: they name
// whatever folder the asking program happens to be in.
VigiloOnPath findVigiloOnPath(std::string_view pathVariable, const std::filesystem::path& ownWrapper,
                              const IsProgram& isProgram);

// A file, or a link to one, that someone may execute.
bool isExecutableFile(const std::filesystem::path& path);

}  // namespace vigilo
