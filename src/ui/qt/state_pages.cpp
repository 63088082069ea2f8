#include "ui/qt/state_pages.h"

#include <QIcon>

#include "support/tr.h"

namespace vigilo {

namespace {

QString html(const std::string& text) { return QString::fromStdString(text).toHtmlEscaped(); }

const char* shade(Tone tone) {
    switch (tone) {
    case Tone::normal: return nullptr;
    case Tone::secondary: return "#808080";
    case Tone::green: return "#2e9d48";
    case Tone::orange: return "#e07b00";
    case Tone::red: return "#d32f2f";
    }
    return nullptr;
}

QString toned(const std::string& text, Tone tone) {
    const char* colour = shade(tone);
    if (!colour) return html(text);
    return QStringLiteral("<span style=\"color:%1\">%2</span>").arg(QLatin1String(colour), html(text));
}

QString cell(const QString& content) { return QStringLiteral("<td style=\"padding-right:14px\">%1</td>").arg(content); }

QString table(const std::vector<ViewRow>& rows) {
    QString body;
    for (const auto& row : rows) {
        body += QStringLiteral("<tr>%1%2</tr>").arg(cell(html(row.label)), cell(toned(row.value, row.tone)));
    }
    return QStringLiteral("<table>%1</table>").arg(body);
}

QString card(const std::string& title, const QString& content) {
    return QStringLiteral("<h3>%1</h3>%2").arg(html(title), content);
}

QIcon themeIcon(const std::string& name) { return QIcon::fromTheme(QString::fromStdString(name)); }

}  // namespace

StatePage dashboardPage(const DashboardView& view) {
    QString workloads;
    for (const auto& row : view.workloads) {
        const QString name = QStringLiteral("<b>%1</b>").arg(html(row.name));
        workloads += QStringLiteral("<tr>%1%2%3%4</tr>")
                         .arg(cell(name), cell(toned(row.state, row.stateTone)), cell(html(row.cpu)),
                              cell(html(row.runtime)));
    }
    workloads = workloads.isEmpty() ? toned(view.noWorkloadsText, Tone::secondary)
                                    : QStringLiteral("<table>%1</table>").arg(workloads);
    QString alerts;
    for (const auto& alert : view.alerts) {
        alerts += QStringLiteral("<p>%1 %2</p>").arg(toned("\u26a0", Tone::orange), html(alert.message));
    }
    QString body = card(tr("Active workloads"), workloads) + card(tr("System"), table(view.system));
    if (!alerts.isEmpty()) body += card(tr("Recent alerts"), alerts);
    return StatePage{themeIcon(view.safetyIcon), QString::fromStdString(tr("Vigilo Dashboard")),
                     toned(view.safetyText, view.safetyTone), body};
}

}  // namespace vigilo
