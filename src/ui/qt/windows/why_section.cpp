#include "ui/qt/windows/why_section.h"

#include "app/why/inhibitor_table.h"
#include "app/why/inhibitor_watch.h"
#include "support/tr.h"
#include "ui/qt/qt_text.h"

namespace vigilo {

namespace {

QString cell(const std::string& text) {
    return QStringLiteral("<td style=\"padding-right:10px\">%1</td>").arg(qtext(singleLineText(text)).toHtmlEscaped());
}

}  // namespace

WhySection::WhySection(InhibitorWatch& watch) : watch_(watch) {
    setTextFormat(Qt::RichText);
    setWordWrap(true);
    entries_ = watch_.entries.subscribe([this](const auto&) {
        if (isVisible()) redraw();
    });
}

void WhySection::redraw() {
    const auto& entries = watch_.entries.get();
    if (entries.empty()) {
        setText(translated("Nothing keeps this computer awake.").toHtmlEscaped());
        return;
    }
    QString rows;
    for (const auto& entry : entries) {
        std::string what;
        for (const auto& kind : entry.what) what += (what.empty() ? "" : ", ") + kind;
        rows += QStringLiteral("<tr>%1%2%3%4%5</tr>")
                    .arg(cell(what), cell(entry.who), cell(entry.why), cell(inhibitorProcessText(entry)),
                         cell(originLabel(entry.origin)));
    }
    setText(QStringLiteral("<table>%1</table>").arg(rows));
}

void WhySection::showEvent(QShowEvent* event) {
    if (!looking_.active()) looking_ = watch_.look();
    redraw();
    QLabel::showEvent(event);
}

void WhySection::hideEvent(QHideEvent* event) {
    looking_.cancel();
    QLabel::hideEvent(event);
}

}  // namespace vigilo
