#pragma once

#include <unistd.h>

#include <cctype>
#include <climits>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "support/xdg_paths.h"

// Header-only: both the executable's side and the online module ask.
namespace vigilo {

// "/" but in the test suite, where $VIGILO_TEST_ROOT stands in for it.
inline std::filesystem::path identityRoot(const XdgEnvironment& env) {
    const auto root = env.getenv("VIGILO_TEST_ROOT");
    return root && !root->empty() ? std::filesystem::path(*root) : std::filesystem::path("/");
}

// The first 4 KiB of a file; nothing when it cannot be read.
inline std::optional<std::string> readSmallFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text(4096, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

// <root>/etc/machine-id's contents.
inline std::optional<std::string> readMachineId(const XdgEnvironment& env) {
    return readSmallFile(identityRoot(env) / "etc" / "machine-id");
}

// The host name: <root>/etc/hostname under a test root that has one (two
// test daemons on one computer tell themselves apart), else the system's.
inline std::string readHostName(const XdgEnvironment& env) {
    if (identityRoot(env) != "/") {
        if (auto name = readSmallFile(identityRoot(env) / "etc" / "hostname")) {
            while (!name->empty() && std::isspace(static_cast<unsigned char>(name->back()))) name->pop_back();
            if (!name->empty()) return *name;
        }
    }
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "localhost";
    return name;
}

}  // namespace vigilo
