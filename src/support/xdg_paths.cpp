#include "support/xdg_paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fmt/format.h>

namespace vigilo {

namespace fs = std::filesystem;

XdgEnvironment XdgEnvironment::fromProcess() {
    XdgEnvironment env;
    env.getenv = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (!value) return std::nullopt;
        return std::string(value);
    };
    env.uid = ::getuid();
    if (const char* home = std::getenv("HOME"); home && *home) {
        env.home = home;
    } else if (const passwd* pw = ::getpwuid(env.uid); pw && pw->pw_dir) {
        env.home = pw->pw_dir;
    }
    return env;
}

namespace {

// XDG says relative values are invalid and must be ignored.
fs::path absoluteVariable(const XdgEnvironment& env, const char* name) {
    auto value = env.getenv(name);
    if (!value || value->empty() || (*value)[0] != '/') return {};
    return fs::path(*value);
}

fs::path xdgHome(const XdgEnvironment& env, const char* variable, const fs::path& fallback) {
    auto path = absoluteVariable(env, variable);
    return path.empty() ? env.home / fallback : path;
}

// Why `path` is not a private folder of `uid`, or an empty string if it is.
// A folder the user named through XDG_RUNTIME_DIR may be reached through a
// link; the ones we pick ourselves may not.
enum class Links { follow, refuse };

std::string checkPrivateFolder(const fs::path& path, uid_t uid, Links links, bool requireExactMode) {
    struct stat st {};
    const int rc = links == Links::follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (rc != 0) return fmt::format("{}: {}", path.string(), std::strerror(errno));
    if (S_ISLNK(st.st_mode)) return fmt::format("{} is a symbolic link", path.string());
    if (!S_ISDIR(st.st_mode)) return fmt::format("{} is not a directory", path.string());
    if (st.st_uid != uid) return fmt::format("{} is owned by uid {}, not {}", path.string(), st.st_uid, uid);
    const mode_t mode = st.st_mode & 07777;
    if (requireExactMode ? mode != 0700 : (mode & 077) != 0) {
        return fmt::format("{} has mode {:04o}; it must be private (0700)", path.string(), mode);
    }
    return {};
}

}  // namespace

fs::path appSupportDir(const XdgEnvironment& env) { return xdgHome(env, "XDG_DATA_HOME", ".local/share") / "Vigilo"; }

fs::path preferencesDir(const XdgEnvironment& env) { return xdgHome(env, "XDG_CONFIG_HOME", ".config") / "Vigilo"; }

fs::path autostartDir(const XdgEnvironment& env) { return xdgHome(env, "XDG_CONFIG_HOME", ".config") / "autostart"; }

RuntimeDir resolveRuntimeDir(const XdgEnvironment& env, const fs::path& runUserRoot, const fs::path& tmpRoot) {
    if (auto fromEnv = absoluteVariable(env, "XDG_RUNTIME_DIR"); !fromEnv.empty()) {
        if (auto why = checkPrivateFolder(fromEnv, env.uid, Links::follow, false); !why.empty()) {
            return {{}, "refusing runtime folder XDG_RUNTIME_DIR: " + why};
        }
        return {fromEnv, {}};
    }

    const fs::path perUser = runUserRoot / std::to_string(env.uid);
    if (checkPrivateFolder(perUser, env.uid, Links::refuse, true).empty()) return {perUser, {}};

    const fs::path fallback = tmpRoot / fmt::format("vigilo-{}", env.uid);
    if (::mkdir(fallback.c_str(), 0700) != 0 && errno != EEXIST) {
        return {{}, fmt::format("cannot create runtime folder {}: {}", fallback.string(), std::strerror(errno))};
    }
    if (auto why = checkPrivateFolder(fallback, env.uid, Links::refuse, true); !why.empty()) {
        return {{}, "refusing runtime folder " + why};
    }
    return {fallback, {}};
}

}  // namespace vigilo
