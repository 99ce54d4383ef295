#pragma once
// Text and colour as the Qt print surfaces draw them, so that a printed label and its
// preview on the screen lay out alike: painters scaled to twips, fonts set by pixel
// size (points x 20) and measured on the same 1200 dpi PDF device.
#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <cstdint>
#include <memory>
#include <string_view>

namespace corvel {

struct TwipFontChoice {
  std::string_view name;
  double points = 10;
  bool bold = false, italic = false, underline = false, strikethrough = false;
};

// `points` when a surface can set that font size; PrintError naming the range otherwise.
double CheckedFontSize(double points);

// The pixel size of a font of `points` on a painter scaled to twips (at least 1).
int TwipPixelSize(double points);

// The font for a painter scaled to twips.
QFont TwipFont(const TwipFontChoice& choice);

// The device every Qt surface measures text on (never drawn on).
std::unique_ptr<QPaintDevice> MakeTextMetricsDevice();

// A stored colour 0x00BBGGRR.
QColor ColourFromBgr(std::int32_t colour);

// The cursor of a surface, in twips.
struct TwipCursor {
  double x = 0, y = 0;
};

// Paints `text` with its top at the cursor (measured on `metrics`) and moves the
// cursor: to x = 0 one line lower with a line end, else just right of the text.
void PaintTwipText(QPainter& painter, const QFont& font, const QFontMetricsF& metrics,
                   std::string_view text, bool lineEnd, std::int32_t colour, TwipCursor& cursor);

// A filled rectangle between two corners, no outline (an empty one paints nothing).
// Pen and brush are set only when they change, not saved and restored around every bar;
// each bar stays a rectangle of its own, which renderers align to device pixels.
void PaintTwipRect(QPainter& painter, double x1, double y1, double x2, double y2,
                   std::int32_t colour);

}  // namespace corvel
