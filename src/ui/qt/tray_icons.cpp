#include "ui/qt/tray_icons.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <fstream>
#include <memory>

namespace vigilo {

namespace {

// The theme names a desktop may set; any other folder name is read as none.
bool themeInstalled(const QString& name) {
    if (name.isEmpty()) return false;
    for (const QString& folder : QIcon::themeSearchPaths()) {
        if (QFile::exists(folder + QLatin1Char('/') + name + QStringLiteral("/index.theme"))) return true;
    }
    return false;
}

std::uint32_t readCard32(std::string_view data, std::size_t at, bool bigEndian) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(data[at + i])); };
    return bigEndian ? byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3)
                     : byte(3) << 24 | byte(2) << 16 | byte(1) << 8 | byte(0);
}

std::size_t padded(std::size_t length) { return (length + 3) & ~std::size_t{3}; }

// The XSETTINGS manager's Net/IconThemeName on screen 0, or empty.
std::string xsettingsIconTheme() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return {};
    const auto atom = [&](std::string_view name) -> xcb_atom_t {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(connection,
                                  xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()),
                                  nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    };
    const xcb_atom_t selection = atom("_XSETTINGS_S0");
    const xcb_atom_t property = atom("_XSETTINGS_SETTINGS");
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr), &std::free);
    if (!owner || owner->owner == XCB_WINDOW_NONE) return {};
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> value(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, owner->owner, property, property, 0, 1 << 16), nullptr),
        &std::free);
    if (!value) return {};
    const std::string_view data(static_cast<const char*>(xcb_get_property_value(value.get())),
                                static_cast<std::size_t>(xcb_get_property_value_length(value.get())));
    auto settings = xsettingsStrings(data);
    return settings["Net/IconThemeName"];
}

std::vector<std::string> gtkSettingsFiles() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const std::string user = configHome && *configHome ? configHome : std::string(home ? home : "") + "/.config";
    return {user + "/gtk-4.0/settings.ini", user + "/gtk-3.0/settings.ini", "/etc/gtk-4.0/settings.ini",
            "/etc/gtk-3.0/settings.ini"};
}

}  // namespace

std::map<std::string, std::string> xsettingsStrings(std::string_view data) {
    std::map<std::string, std::string> strings;
    if (data.size() < 12) return strings;
    const bool bigEndian = data[0] != 0;
    const std::uint32_t count = readCard32(data, 8, bigEndian);
    std::size_t at = 12;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (at + 4 > data.size()) break;
        const int type = static_cast<unsigned char>(data[at]);
        const auto b0 = static_cast<std::size_t>(static_cast<unsigned char>(data[at + 2]));
        const auto b1 = static_cast<std::size_t>(static_cast<unsigned char>(data[at + 3]));
        const std::size_t nameLength = bigEndian ? b0 << 8 | b1 : b1 << 8 | b0;
        const std::size_t nameAt = at + 4;
        at = nameAt + padded(nameLength) + 4;  // the name, then the serial of its last change
        if (at > data.size()) break;
        const std::string name(data.substr(nameAt, nameLength));
        if (type == 0) {  // an integer
            at += 4;
        } else if (type == 1) {  // a string
            if (at + 4 > data.size()) break;
            const std::size_t length = readCard32(data, at, bigEndian);
            if (length > data.size() - at - 4) break;
            strings[name] = std::string(data.substr(at + 4, length));
            at += 4 + padded(length);
        } else if (type == 2) {  // a colour
            at += 8;
        } else {
            break;
        }
    }
    return strings;
}

std::string desktopIconTheme(const std::string& xsettingsValue, const std::vector<std::string>& files) {
    if (!xsettingsValue.empty()) return xsettingsValue;
    for (const auto& path : files) {
        std::ifstream file(path);
        bool inSettings = false;
        for (std::string line; std::getline(file, line);) {
            if (!line.empty() && line.front() == '[') {
                inSettings = line.rfind("[Settings]", 0) == 0;
                continue;
            }
            const auto equals = line.find('=');
            if (!inSettings || equals == std::string::npos) continue;
            const auto trim = [](std::string text) {
                const auto first = text.find_first_not_of(" \t\r");
                const auto last = text.find_last_not_of(" \t\r");
                return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
            };
            if (trim(line.substr(0, equals)) != "gtk-icon-theme-name") continue;
            std::string value = trim(line.substr(equals + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
            if (!value.empty()) return value;
        }
    }
    return {};
}

QIcon applicationIcon() {
    return QIcon::fromTheme(QStringLiteral("com.vigilo.app"), QIcon(QStringLiteral(":/vigilo/com.vigilo.app.svg")));
}

void chooseIconThemes() {
    // Without a platform theme Qt searches only its resources: the XDG
    // folders, as every desktop does.
    QStringList themeFolders = QIcon::themeSearchPaths();
    QStringList xdgFolders{QDir::homePath() + QStringLiteral("/.icons")};
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        xdgFolders << data + QStringLiteral("/icons");
    }
    for (const QString& folder : xdgFolders) {
        if (!themeFolders.contains(folder)) themeFolders << folder;
    }
    QIcon::setThemeSearchPaths(themeFolders);
    // A desktop's platform theme (GNOME, KDE) names its theme; elsewhere Qt
    // names none, or only "hicolor", where hardly any freedesktop name is.
    const QString platformTheme = QIcon::themeName();
    if (platformTheme.isEmpty() || platformTheme == QStringLiteral("hicolor")) {
        const QString desktop = QString::fromStdString(desktopIconTheme(xsettingsIconTheme(), gtkSettingsFiles()));
        const QString adwaita = QStringLiteral("Adwaita");
        QIcon::setThemeName(themeInstalled(desktop) ? desktop
                            : themeInstalled(adwaita) ? adwaita
                                                      : QStringLiteral("hicolor"));
    }
    // After the theme and what it inherits (hicolor last of all).
    if (QIcon::themeName() != QStringLiteral("Adwaita")) QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    // Our own symbolic icons, found by file name after every theme: where
    // Vigilo is installed, and the build tree's before `cmake --install`.
    QStringList paths = QIcon::fallbackSearchPaths();
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        paths << data + QStringLiteral("/vigilo/icons");
    }
#ifdef VIGILO_BUILD_ICON_DIR
    paths << QStringLiteral(VIGILO_BUILD_ICON_DIR) << QStringLiteral(VIGILO_BUILD_ICON_DIR "/fallback");
#endif
    QIcon::setFallbackSearchPaths(paths);
    QApplication::setWindowIcon(applicationIcon());
}

}  // namespace vigilo
