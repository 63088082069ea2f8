#pragma once

#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QSize>

#include "activity/weekly_report.h"

namespace vigilo {

// The week's headline numbers as an image to paste or save. The card is a
// picture, not a view: it keeps its own fixed colours whatever the desktop's
// theme, so it reads the same wherever it ends up.
namespace ShareCardRenderer {

// In logical pixels; the image holds kScale times as many.
inline constexpr QSize kCardSize{760, 440};
inline constexpr qreal kScale = 2;

// A kCardSize × kScale image whose device pixel ratio is kScale. The score
// is computed from `report` here, so the card always matches its figures.
QImage render(const WeeklyReport& report);

// A laptop seen from the front, filling `box`: a screen with a cut-out
// display above a wider base. The path's own odd-even rule makes the hole.
QPainterPath laptopGlyph(const QRectF& box);

}  // namespace ShareCardRenderer

}  // namespace vigilo
