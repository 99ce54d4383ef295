#include "platform/twip_text_surface.h"

namespace corvel {

void TwipTextSurface::SetFontName(std::string_view name) {
  fontName_ = std::string(name);
  FontChanged();
}

void TwipTextSurface::SetFontSize(double points) {
  fontSize_ = CheckedFontSize(points);
  FontChanged();
}

void TwipTextSurface::SetBold(bool on) {
  bold_ = on;
  FontChanged();
}

void TwipTextSurface::SetItalic(bool on) {
  italic_ = on;
  FontChanged();
}

void TwipTextSurface::SetUnderline(bool on) {
  underline_ = on;
  FontChanged();
}

void TwipTextSurface::SetStrikethrough(bool on) {
  strikethrough_ = on;
  FontChanged();
}

TwipFontChoice TwipTextSurface::Choice() const {
  return {fontName_, fontSize_, bold_, italic_, underline_, strikethrough_};
}

void TwipTextSurface::PaintText(QPainter& painter, const QFont& font, const QFontMetricsF& metrics,
                                std::string_view text, bool lineEnd) {
  PaintTwipText(painter, font, metrics, text, lineEnd, textColour_, cursor_);
}

}  // namespace corvel
