#include "ui/qt/state_pages.h"

#include <fmt/format.h>

#include <cmath>

#include "alerts/watchdog.h"
#include "app/app_settings.h"
#include "app/app_state.h"
#include "detection/process_watcher.h"
#include "platform/lid_state.h"
#include "safety/battery_monitor.h"
#include "safety/cooling_manager.h"
#include "safety/thermal_monitor.h"
#include "support/tr.h"
#include "ui/qt/tray_icons.h"

namespace vigilo {

namespace {

constexpr const char* kSecondary = "#808080";
constexpr const char* kGreen = "#2e9d48";
constexpr const char* kOrange = "#e07b00";
constexpr const char* kRed = "#d32f2f";

QString html(const std::string& text) { return QString::fromStdString(text).toHtmlEscaped(); }

QString coloured(const std::string& text, const char* colour) {
    return QStringLiteral("<span style=\"color:%1\">%2</span>").arg(QLatin1String(colour), html(text));
}

QString row(const std::string& label, const QString& value) {
    return QStringLiteral("<tr><td style=\"padding-right:16px\">%1</td><td>%2</td></tr>").arg(html(label), value);
}

QString card(const std::string& title, const QString& content) {
    return QStringLiteral("<h3>%1</h3>%2").arg(html(title), content);
}

QString table(const QString& rows) { return QStringLiteral("<table>%1</table>").arg(rows); }

std::string clockText(double seconds) {
    const auto whole = static_cast<long long>(std::llround(std::max(seconds, 0.0)));
    return fmt::format("{:02d}:{:02d}:{:02d}", whole / 3600, whole / 60 % 60, whole % 60);
}

double secondsSince(WallTime then, const Clock& clock) {
    return std::chrono::duration<double>(clock.wallNow() - then).count();
}

std::string runtimeText(double seconds) {
    const auto minutes = static_cast<long long>(std::max(seconds, 0.0)) / 60;
    if (minutes < 60) return fmt::format("{}m", minutes);
    return fmt::format("{}h {:02d}m", minutes / 60, minutes % 60);
}

std::string runState(const AppState& state) {
    using Kind = KeepAwakeMode::Kind;
    const auto kind = state.mode.get().kind();
    if (kind == Kind::off) return tr("Off");
    if (state.assertionActive.get()) return tr("Active");
    if (kind == Kind::chargingOnly) return tr("Waiting for power");
    if (kind == Kind::autoWatch) return tr("Idle \u2014 watching");
    return tr("Paused");
}

std::string powerText(const BatteryMonitor::Snapshot& battery) {
    if (battery.isCharging) return tr("Charging");
    if (battery.isOnACPower) return tr("Plugged in");
    return tr("On battery");
}

QString temperatureValue(const TrayServices& s, bool withColour) {
    if (auto temperature = s.cooling.temperature().get()) {
        const char* colour = *temperature >= 90 ? kRed : *temperature >= 80 ? kOrange : kSecondary;
        const auto text = fmt::format("{:.0f}\u00b0C", *temperature);
        return withColour ? coloured(text, colour) : html(text);
    }
    return html(ThermalMonitor::label(s.thermal.currentLevel()));
}

std::string lidText(LidState& lid) {
    const auto closed = lid.isClosed();
    if (!closed) return "\u2014";
    return *closed ? tr("Closed") : tr("Open");
}

enum class Safety { good, runningWarm, thermalRisk, batteryRisk };

Safety classify(const TrayServices& s) {
    const auto level = s.thermal.currentLevel();
    const auto temperature = s.cooling.temperature().get();
    const auto& battery = s.battery.currentSnapshot();
    if (level == ThermalMonitor::Level::critical) return Safety::thermalRisk;
    if (temperature && *temperature >= 95.0) return Safety::thermalRisk;
    if (battery.hasBattery && !battery.isOnACPower && battery.level <= 10) return Safety::batteryRisk;
    if (level == ThermalMonitor::Level::serious) return Safety::runningWarm;
    return Safety::good;
}

QString safetyText(Safety safety) {
    switch (safety) {
    case Safety::good: return coloured(std::string("\u2714 ") + tr("Good"), kGreen);
    case Safety::runningWarm: return coloured(std::string("\u26a0 ") + tr("Running warm"), kOrange);
    case Safety::thermalRisk: return coloured(std::string("\u26a0 ") + tr("High thermal risk"), kRed);
    case Safety::batteryRisk: return coloured(std::string("\u26a0 ") + tr("Battery risk"), kRed);
    }
    return {};
}

}  // namespace

StatePage statusPage(const TrayServices& s, const Clock& clock) {
    const auto& state = s.state;
    const auto& battery = s.battery.currentSnapshot();
    QString rows = row(tr("Status"), html(state.liveStatus()));
    QString power = html(powerText(battery));
    if (battery.hasBattery) power += html(fmt::format(" \u00b7 {}%", battery.level));
    rows += row(tr("Power"), power);
    if (auto started = state.startedAt.get()) {
        rows += row(tr("Running for"), html(clockText(secondsSince(*started, clock))));
    }
    if (auto end = state.timerExpiresAt.get()) {
        rows += row(tr("Time remaining"), html(clockText(-secondsSince(*end, clock))));
    }
    rows += row(tr("Temperature"), temperatureValue(s, true));
    const auto& fans = s.cooling.fans().get();
    if (s.cooling.controlSupported().get() && !fans.empty()) {
        rows += row(tr("Fan"), html(fmt::format("{:.0f} rpm \u00b7 {}", fans.front().actual,
                                                shownName(s.cooling.activePreset().get()))));
    }
    rows += row(tr("Lid"), html(lidText(s.lid)));
    QString body = table(rows);
    if (auto message = state.lastUserMessage.get()) {
        body += QStringLiteral("<p>%1</p>").arg(coloured(*message, kSecondary));
    }
    const auto& mode = state.mode.get();
    return StatePage{stateIcon(mode, state.clamshellActive.get(), ThermalMonitor::Level::nominal),
                     QString::fromStdString(mode.shortLabel()), QString::fromStdString(runState(state)), body};
}

StatePage dashboardPage(const TrayServices& s, const Clock& clock) {
    const Safety safety = classify(s);
    QString workloads;
    for (const auto& match : s.watcher.matches.get()) {
        const QString busy = match.isActive ? coloured(tr("Running"), kGreen) : coloured(tr("Idle"), kSecondary);
        workloads += QStringLiteral("<tr><td style=\"padding-right:12px\"><b>%1</b></td><td style=\"padding-right:12px\">"
                                    "%2</td><td style=\"padding-right:12px\">%3</td><td>%4</td></tr>")
                         .arg(html(match.displayName), busy,
                              html(trFormat("{:.0f}% CPU", match.cpuPercent)),
                              html(runtimeText(secondsSince(match.firstSeenAt, clock))));
    }
    if (workloads.isEmpty()) {
        workloads = coloured(tr("No workloads detected. Turn on Auto Mode (or a Smart Rule) to track Claude Code, "
                                "Cursor, Ollama, Docker\u2026"),
                             kSecondary);
    } else {
        workloads = table(workloads);
    }
    const auto& battery = s.battery.currentSnapshot();
    const auto& fans = s.cooling.fans().get();
    QString system = row(tr("Temperature"), temperatureValue(s, false));
    system += row(tr("Battery"), html(battery.hasBattery ? fmt::format("{}%", battery.level) : tr("n/a")));
    if (!fans.empty()) system += row(tr("Fan"), html(fmt::format("{:.0f} rpm", fans.front().actual)));
    system += row(tr("Lid"), html(lidText(s.lid)));
    system += row(tr("Safety"), safetyText(safety));
    QString alerts;
    for (const auto& alert : s.watchdog.recentAlerts.get()) {
        alerts += QStringLiteral("<p>%1 %2</p>").arg(coloured("\u26a0", kOrange), html(alert.message));
    }
    if (alerts.isEmpty()) alerts = coloured(tr("No recent alerts"), kSecondary);
    QString body = card(tr("Active workloads"), workloads) + card(tr("System"), table(system)) +
                   card(tr("Recent alerts"), alerts);
    const auto& state = s.state;
    return StatePage{stateIcon(state.mode.get(), state.clamshellActive.get(), s.thermal.currentLevel()),
                     QString::fromStdString(tr("Vigilo Dashboard")), safetyText(safety), body};
}

}  // namespace vigilo
