#include "ui/qt/report/share_card_renderer.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QString>

#include <array>

#include "activity/workstation_score.h"
#include "support/tr.h"

namespace vigilo::ShareCardRenderer {

namespace {

// The project's web address; the card is the one place that prints it.
constexpr const char* kWebAddress = "vigilo.app";

// Light text on a deep blue-violet ground: reads the same pasted into a light
// or a dark document.
const QColor kGroundTop{0x17, 0x22, 0x3f};
const QColor kGroundBottom{0x2c, 0x1d, 0x4e};
const QColor kPrimaryText{0xff, 0xff, 0xff};
const QColor kSecondaryText{0xb9, 0xc1, 0xdb};
const QColor kFigureText{0x72, 0xe6, 0xc8};
const QColor kThermalRiskText{0xff, 0xb4, 0x6b};
const QColor kBatteryRiskText{0xff, 0x8f, 0x8f};
const QColor kHairline{0xff, 0xff, 0xff, 0x2e};

constexpr qreal kMargin = 40;
constexpr qreal kContentWidth = kCardSize.width() - 2 * kMargin;

QString qs(const std::string& text) { return QString::fromStdString(text); }

QFont pixelFont(int pixels, bool bold) {
    QFont font;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QColor scoreColour(WorkstationScore::Rating rating) {
    switch (rating) {
        case WorkstationScore::Rating::thermalRisk: return kThermalRiskText;
        case WorkstationScore::Rating::batteryRisk: return kBatteryRiskText;
        default: return kFigureText;
    }
}

void drawGround(QPainter& painter) {
    QLinearGradient ground(0, 0, kCardSize.width(), kCardSize.height());
    ground.setColorAt(0, kGroundTop);
    ground.setColorAt(1, kGroundBottom);
    painter.fillRect(QRectF(QPointF(0, 0), QSizeF(kCardSize)), ground);
}

void drawHeader(QPainter& painter, const WorkstationScore& score) {
    constexpr qreal centreY = 58;
    painter.setPen(Qt::NoPen);
    painter.setBrush(kPrimaryText);
    painter.drawPath(laptopGlyph(QRectF(kMargin, centreY - 16, 44, 32)));

    painter.setPen(kPrimaryText);
    painter.setFont(pixelFont(26, true));
    painter.drawText(QRectF(kMargin + 58, centreY - 20, 300, 40), Qt::AlignLeft | Qt::AlignVCenter, "Vigilo");

    const QString scoreText = qs(trFormat("{}/100", score.value));
    const QFont scoreFont = pixelFont(24, true);
    const qreal pillWidth = QFontMetricsF(scoreFont).horizontalAdvance(scoreText) + 36;
    const QRectF pill(kCardSize.width() - kMargin - pillWidth, centreY - 22, pillWidth, 44);
    painter.setPen(QPen(kHairline, 1.5));
    painter.setBrush(QColor(0xff, 0xff, 0xff, 0x14));
    painter.drawRoundedRect(pill, 22, 22);
    painter.setPen(scoreColour(score.rating));
    painter.setFont(scoreFont);
    painter.drawText(pill, Qt::AlignCenter, scoreText);
}

// One line at the largest size down to 26 px that fits; a longer text
// (a translation) wraps onto two lines instead.
void drawHeadline(QPainter& painter, const QString& headline) {
    const QRectF box(kMargin, 112, kContentWidth, 100);
    int pixels = 36;
    while (pixels > 26 && QFontMetricsF(pixelFont(pixels, true)).horizontalAdvance(headline) > box.width()) --pixels;
    painter.setPen(kPrimaryText);
    painter.setFont(pixelFont(pixels, true));
    painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, headline);
}

void drawFigures(QPainter& painter, const WeeklyReport& report) {
    const std::array<std::pair<std::int64_t, const char*>, 3> figures{{
        {report.protectedSessions, "Sessions"},
        {report.thermalWarnings, "Thermal events"},
        {report.lowBatterySaves, "Battery saves"},
    }};
    const qreal columnWidth = kContentWidth / figures.size();
    constexpr qreal top = 240;
    for (std::size_t i = 0; i < figures.size(); ++i) {
        const qreal left = kMargin + static_cast<qreal>(i) * columnWidth;
        painter.setPen(kFigureText);
        painter.setFont(pixelFont(52, true));
        painter.drawText(QRectF(left, top, columnWidth, 64), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::number(figures[i].first));
        painter.setPen(kSecondaryText);
        painter.setFont(pixelFont(17, false));
        painter.drawText(QRectF(left, top + 66, columnWidth, 26), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromUtf8(tr(figures[i].second)));
    }
}

void drawFooter(QPainter& painter) {
    constexpr qreal lineY = 374;
    painter.setPen(QPen(kHairline, 1));
    painter.drawLine(QPointF(kMargin, lineY), QPointF(kCardSize.width() - kMargin, lineY));
    painter.setPen(kSecondaryText);
    painter.setFont(pixelFont(14, false));
    painter.drawText(QRectF(kMargin, lineY + 12, kContentWidth, 24), Qt::AlignLeft | Qt::AlignVCenter, kWebAddress);
}

}  // namespace

QPainterPath laptopGlyph(const QRectF& box) {
    const qreal w = box.width();
    const qreal h = box.height();
    QPainterPath path;
    // Screen: an outline with the display cut out of it.
    const QRectF screen(box.left() + 0.12 * w, box.top(), 0.76 * w, 0.78 * h);
    path.addRoundedRect(screen, 0.06 * w, 0.06 * w);
    const qreal bezel = 0.07 * w;
    path.addRoundedRect(screen.adjusted(bezel, bezel, -bezel, -bezel), 0.02 * w, 0.02 * w);
    // Base: the full width, a little lower than the screen.
    path.addRoundedRect(QRectF(box.left(), box.top() + 0.84 * h, w, 0.16 * h), 0.05 * h, 0.05 * h);
    return path;
}

QImage render(const WeeklyReport& report) {
    QImage card(kCardSize * kScale, QImage::Format_ARGB32_Premultiplied);
    card.setDevicePixelRatio(kScale);
    QPainter painter(&card);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const WorkstationScore score = WorkstationScore::compute(report);
    drawGround(painter);
    drawHeader(painter, score);
    drawHeadline(painter, qs(trFormat("My AI worked {:.0f} hours this week", report.runtimeHours)));
    drawFigures(painter, report);
    drawFooter(painter);
    return card;
}

}  // namespace vigilo::ShareCardRenderer
