#pragma once
// What the Qt print surfaces (the printer's and the screen preview's) keep alike: the
// font chosen (name, size in points, styles), the text colour and the cursor in twips.
// A change of font calls FontChanged, where each surface makes the QFont it draws with.
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/print_surface.h"
#include "platform/twip_text.h"

namespace corvel {

class TwipTextSurface : public PrintSurface {
 public:
  void SetFontName(std::string_view name) override;
  std::string FontName() const override { return fontName_; }
  // A size no surface can set is a PrintError; the size before stays.
  void SetFontSize(double points) override;
  double FontSize() const override { return fontSize_; }
  void SetBold(bool on) override;
  bool Bold() const override { return bold_; }
  void SetItalic(bool on) override;
  void SetUnderline(bool on) override;
  void SetStrikethrough(bool on) override;
  void SetTextColor(std::int32_t colour) override { textColour_ = colour; }

  double CurrentX() const override { return cursor_.x; }
  double CurrentY() const override { return cursor_.y; }
  void SetCurrentX(double x) override { cursor_.x = x; }
  void SetCurrentY(double y) override { cursor_.y = y; }

 protected:
  // The font as chosen so far (its name lives as long as the surface's choice).
  TwipFontChoice Choice() const;
  virtual void FontChanged() = 0;
  // Paints `text` at the cursor in the text colour and moves the cursor.
  void PaintText(QPainter& painter, const QFont& font, const QFontMetricsF& metrics,
                 std::string_view text, bool lineEnd);
  void ResetCursor() { cursor_ = {}; }

 private:
  std::string fontName_ = "Arial";
  double fontSize_ = 10;
  bool bold_ = false, italic_ = false, underline_ = false, strikethrough_ = false;
  std::int32_t textColour_ = 0;
  TwipCursor cursor_;
};

}  // namespace corvel
