#include "platform/linux/desktop_entry/xdg_autostart_entry.h"

#include <string_view>
#include <system_error>

#include "support/atomic_file.h"
#include "support/bounded_file.h"
#include "support/log.h"
#include "support/xdg_paths.h"

namespace vigilo {

namespace fs = std::filesystem;

namespace {

// Ours is a few hundred bytes; a desktop's editor may add translations.
constexpr std::uintmax_t kMaxEntryBytes = 64 * 1024;

const Logger& loginItemLog() {
    static const Logger log("LaunchAtLogin");
    return log;
}

}  // namespace

XdgAutostartEntry::XdgAutostartEntry(fs::path file, std::string executable)
    : file_(std::move(file)), executable_(std::move(executable)) {}

fs::path XdgAutostartEntry::fileFor(const XdgEnvironment& env) {
    return autostartDir(env) / (std::string(kApplicationId) + ".desktop");
}

// Read at start, before the socket answers: a FIFO or a device in the
// entry's place must neither stall the start nor fill the memory.
bool XdgAutostartEntry::isEnabled() {
    const auto file = readBoundedFile(file_, kMaxEntryBytes);
    if (file.status == BoundedFile::Status::rejected) {
        loginItemLog().error("Login item {} is not usable: {}", file_.string(), file.problem);
        return false;
    }
    if (file.status == BoundedFile::Status::missing) return false;
    std::string_view rest = file.contents;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const auto line = rest.substr(0, end);
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false") return false;
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return true;
}

std::optional<std::string> XdgAutostartEntry::contents() const {
    auto exec = desktopExecArgument(executable_);
    if (!exec) return std::nullopt;
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Vigilo\n"
           "Comment=Keeps the computer awake while long work runs\n"
           "Exec=" + *exec + "\n"
           "Icon=" + kApplicationId + "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

std::optional<std::string> XdgAutostartEntry::enable() {
    auto text = contents();
    if (!text) return "the application's path cannot be written into a desktop entry: " + executable_;
    return writeFileAtomically(file_, *text, 0644);
}

std::optional<std::string> XdgAutostartEntry::disable() {
    std::error_code error;
    fs::remove(file_, error);
    if (error) return file_.string() + ": " + error.message();
    return std::nullopt;
}

std::optional<std::string> desktopExecArgument(const std::string& path) {
    // Two layers: the Exec key's own quoting inside double quotes, then the
    // escaping every string value gets, which doubles each backslash again.
    std::string out = "\"";
    for (char c : path) {
        switch (c) {
            case '\n':
            case '\r': return std::nullopt;
            case '"':
            case '`':
            case '$': out += "\\\\"; out += c; break;
            case '\\': out += "\\\\\\\\"; break;
            case '%': out += "%%"; break;
            default: out += c;
        }
    }
    return out + "\"";
}

}  // namespace vigilo
