#include "ui/qt/tray_icons.h"

#include <gmock/gmock.h>

#include <QIcon>
#include <QPixmap>
#include <filesystem>
#include <fstream>

#include "activity/activity_kind.h"
#include "common/temp_dir.h"
#include "ui/activity_view_model.h"
#include "ui/onboarding_model.h"
#include "ui/status_view_model.h"
#include "ui/tray_icon.h"

namespace vigilo {
namespace {

// An _XSETTINGS_SETTINGS property as a settings manager writes it.
std::string xsettings(bool bigEndian, const std::vector<std::string>& entries) {
    std::string data(1, bigEndian ? '\1' : '\0');
    data += std::string(3, '\0');
    const auto card32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) data += static_cast<char>(v >> (bigEndian ? 24 - 8 * i : 8 * i) & 0xff);
    };
    card32(7);  // serial
    card32(static_cast<std::uint32_t>(entries.size()));
    for (const auto& entry : entries) data += entry;
    return data;
}

std::string entry(bool bigEndian, char type, const std::string& name, const std::string& value) {
    std::string out{type, '\0'};
    const auto length = static_cast<std::uint16_t>(name.size());
    out += bigEndian ? std::string{static_cast<char>(length >> 8), static_cast<char>(length & 0xff)}
                     : std::string{static_cast<char>(length & 0xff), static_cast<char>(length >> 8)};
    out += name + std::string((4 - name.size() % 4) % 4, '\0');
    out += std::string(4, '\0');  // last change serial
    if (type == 1) {
        const auto n = static_cast<std::uint32_t>(value.size());
        for (int i = 0; i < 4; ++i) out += static_cast<char>(n >> (bigEndian ? 24 - 8 * i : 8 * i) & 0xff);
        out += value + std::string((4 - value.size() % 4) % 4, '\0');
    } else {
        out += std::string(type == 0 ? 4 : 8, '\0');
    }
    return out;
}

TEST(IconThemes, TheDesktopsThemeIsReadFromXsettingsThenGtksSettings) {
    for (bool big : {false, true}) {
        const auto data = xsettings(big, {entry(big, 0, "Net/DoubleClickTime", ""),
                                          entry(big, 2, "Gtk/Colour", ""),
                                          entry(big, 1, "Net/IconThemeName", "elementary-xfce-dark"),
                                          entry(big, 1, "Gtk/FontName", "Sans 10")});
        const auto strings = xsettingsStrings(data);
        EXPECT_EQ(strings.at("Net/IconThemeName"), "elementary-xfce-dark") << big;
        EXPECT_EQ(strings.at("Gtk/FontName"), "Sans 10") << big;
        // Cut anywhere, it gives what came before the cut and never reads past it.
        for (std::size_t size = 0; size < data.size(); ++size) xsettingsStrings(data.substr(0, size));
    }

    testing::TempDir dir;
    const auto gtk3 = (dir.path() / "gtk3.ini").string();
    const auto gtk4 = (dir.path() / "gtk4.ini").string();
    std::ofstream(gtk3) << "[Settings]\ngtk-theme-name=Greybird\ngtk-icon-theme-name = \"Papirus\"\n";
    std::ofstream(gtk4) << "[Other]\ngtk-icon-theme-name=Wrong\n";
    struct Case {
        std::string xsettingsValue;
        std::vector<std::string> files;
        std::string theme;
    };
    const Case cases[] = {
        {"elementary", {gtk3}, "elementary"},
        {"", {gtk4, gtk3}, "Papirus"},
        {"", {gtk4, (dir.path() / "missing.ini").string()}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(desktopIconTheme(c.xsettingsValue, c.files), c.theme) << c.xsettingsValue;
}

// This machine has only hicolor and Adwaita: every icon a window shows is
// found there or among Vigilo's own.
TEST(IconThemes, EveryIconTheWindowsShowIsFound) {
    std::vector<std::string> names;
    for (auto icon : {StateIcon::thermometer, StateIcon::lid, StateIcon::timer, StateIcon::moon, StateIcon::sun,
                      StateIcon::bolt, StateIcon::binoculars, StateIcon::terminal}) {
        names.push_back(iconThemeName(icon));
    }
    for (int k = 0; k < kActivityKindCount; ++k) {
        names.push_back(activityIconName(activitySymbol(static_cast<ActivityKind>(k))));
    }
    for (const auto& step : onboardingSteps()) {
        names.push_back(step.icon);
        for (const auto& point : step.points) names.push_back(point.icon);
    }
    for (int level : {5, 30, 60, 95}) {
        for (bool charging : {false, true}) {
            names.push_back(batteryIconName({.level = level, .isCharging = charging, .isOnACPower = charging,
                                             .hasBattery = true}));
        }
    }
    names.push_back(batteryIconName(BatteryMonitor::noBattery()));
    names.insert(names.end(), {"security-high-symbolic", "dialog-warning-symbolic", "vigilo-lock-symbolic"});
    for (const auto& name : names) {
        EXPECT_FALSE(QIcon::fromTheme(QString::fromStdString(name)).pixmap(16, 16).isNull()) << name;
    }
    EXPECT_FALSE(applicationIcon().pixmap(48, 48).isNull());
}

}  // namespace
}  // namespace vigilo
