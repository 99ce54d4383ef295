#include "platform/screen_print_surface.h"
#include "common/units.h"

#include <QFontMetricsF>
#include <cmath>

#include "common/errors.h"
#include "common/number_text.h"
#include "platform/printing.h"
#include "platform/qt_text.h"
#include "platform/twip_text.h"

namespace corvel {

ScreenPrintSurface::ScreenPrintSurface(double pageWidthMm, double pageHeightMm, int dotsPerInch)
    : widthTwips_(pageWidthMm * kTwipsPerMm),
      heightTwips_(pageHeightMm * kTwipsPerMm),
      dpi_(dotsPerInch),
      metrics_(MakeTextMetricsDevice()) {
  if (!(pageWidthMm > 0 && pageHeightMm > 0 && dotsPerInch > 0 && dotsPerInch <= 2400))
    throw PrintError("no preview of a " + GeneralNumber(pageWidthMm) + " x " +
                     GeneralNumber(pageHeightMm) + " mm label at " + std::to_string(dotsPerInch) +
                     " dpi");
  SetUpFonts();  // so that "Tahoma" is the real face whoever made the surface
  FontChanged();
}

ScreenPrintSurface::~ScreenPrintSurface() {
  if (painter_.isActive()) painter_.end();
}

void ScreenPrintSurface::FontChanged() {
  font_ = TwipFont(Choice());
}

double ScreenPrintSurface::TextWidth(std::string_view text) {
  return QFontMetricsF(font_, metrics_.get()).horizontalAdvance(ToQString(text));
}

double ScreenPrintSurface::TextHeight(std::string_view) {
  return QFontMetricsF(font_, metrics_.get()).lineSpacing();
}

void ScreenPrintSurface::PrepareToDraw() {
  if (painter_.isActive()) return;
  const auto dots = [this](double twips) {
    return std::max(1, static_cast<int>(std::lround(DotsFromTwips(twips, dpi_))));
  };
  drawing_ = QImage(dots(widthTwips_), dots(heightTwips_), QImage::Format_RGB32);
  drawing_.fill(Qt::white);
  if (!painter_.begin(&drawing_)) throw PrintError("Cannot draw the label preview");
  const double scale = dpi_ / kTwipsPerInch;
  painter_.scale(scale, scale);
  painter_.setRenderHint(QPainter::Antialiasing, false);
}

void ScreenPrintSurface::Print(std::string_view text, bool lineEnd) {
  PrepareToDraw();
  PaintText(painter_, font_, QFontMetricsF(font_, metrics_.get()), text, lineEnd);
}

void ScreenPrintSurface::FillRect(double x1, double y1, double x2, double y2, std::int32_t colour) {
  PrepareToDraw();
  PaintTwipRect(painter_, x1, y1, x2, y2, colour);
}

void ScreenPrintSurface::EndDoc() {
  if (painter_.isActive()) {
    painter_.end();
    finished_ = drawing_;
  }
  ResetCursor();
  page_ = 1;
}

void ScreenPrintSurface::AbortDoc() {
  if (painter_.isActive()) painter_.end();
  drawing_ = QImage();
  ResetCursor();
  page_ = 1;
}

}  // namespace corvel
