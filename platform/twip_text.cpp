#include "platform/twip_text.h"

#include "common/errors.h"
#include "common/number_text.h"
#include "common/print_surface.h"
#include "platform/qt_text.h"

#include <QFontMetricsF>
#include <QPdfWriter>
#include <QString>
#include <algorithm>
#include <cmath>

namespace corvel {
namespace {
constexpr double kTwipsPerPoint = 20;
constexpr int kMetricsDpi = 1200;  // as a high-resolution printer writes PDF
}  // namespace

double CheckedFontSize(double points) {
  if (!PrintSurface::IsFontSize(points)) {
    throw PrintError("Font size " + GeneralNumber(points) + " is outside 1 to " +
                     std::to_string(static_cast<int>(PrintSurface::kLargestFontSize)) + " points");
  }
  return points;
}

int TwipPixelSize(double points) {
  return std::max(1, static_cast<int>(std::lround(points * kTwipsPerPoint)));
}

QFont TwipFont(const TwipFontChoice& choice) {
  QFont font(ToQString(choice.name));
  font.setPixelSize(TwipPixelSize(choice.points));
  font.setBold(choice.bold);
  font.setItalic(choice.italic);
  font.setUnderline(choice.underline);
  font.setStrikeOut(choice.strikethrough);
  // Unhinted outlines so that measuring and drawing agree at every size.
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

std::unique_ptr<QPaintDevice> MakeTextMetricsDevice() {
  auto device = std::make_unique<QPdfWriter>(QString());
  device->setResolution(kMetricsDpi);
  return device;
}

QColor ColourFromBgr(std::int32_t colour) {
  return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

void PaintTwipText(QPainter& painter, const QFont& font, const QFontMetricsF& measure,
                   std::string_view text, bool lineEnd, std::int32_t colour, TwipCursor& cursor) {
  const QString line = ToQString(text);
  painter.setFont(font);
  painter.setPen(ColourFromBgr(colour));
  if (!line.isEmpty()) painter.drawText(QPointF(cursor.x, cursor.y + measure.ascent()), line);
  if (lineEnd) {
    cursor.x = 0;
    cursor.y += measure.lineSpacing();
  } else {
    cursor.x += measure.horizontalAdvance(line);
  }
}

void PaintTwipRect(QPainter& painter, double x1, double y1, double x2, double y2,
                   std::int32_t colour) {
  const QRectF box = QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized();
  if (box.isEmpty()) return;
  if (painter.pen().style() != Qt::NoPen) painter.setPen(Qt::NoPen);
  const QColor fill = ColourFromBgr(colour);
  if (painter.brush().style() != Qt::SolidPattern || painter.brush().color() != fill)
    painter.setBrush(fill);
  painter.drawRect(box);
}

}  // namespace corvel
