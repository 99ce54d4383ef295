#pragma once
// A print surface that paints into an image for the screen: the label preview. It
// draws exactly as the printing surface does (twips, fonts by pixel size, text measured
// on the same device, bars without antialiasing), on a page of a given size in
// millimetres at a given resolution. Each document starts white; EndDoc keeps it as
// the finished image. Paper bins, sizes and orientations are remembered and ignored.
#include <QImage>
#include <QPainter>
#include <memory>
#include <string>

#include "platform/twip_text_surface.h"

class QPaintDevice;

namespace corvel {

class ScreenPrintSurface : public TwipTextSurface {
 public:
  ScreenPrintSurface(double pageWidthMm, double pageHeightMm, int dotsPerInch);
  ~ScreenPrintSurface() override;

  // The last finished document's image (null before the first), at DotsPerInch().
  const QImage& Image() const { return finished_; }
  int DotsPerInch() const { return dpi_; }

  double TextWidth(std::string_view text) override;
  double TextHeight(std::string_view text) override;
  void Print(std::string_view text, bool lineEnd) override;
  void FillRect(double x1, double y1, double x2, double y2, std::int32_t colour) override;
  // A preview shows one page: later pages are drawn over the first.
  void NewPage() override { ++page_; }
  void EndDoc() override;
  void AbortDoc() override;

  double PageWidth() const override { return widthTwips_; }
  double PageHeight() const override { return heightTwips_; }
  int Page() const override { return page_; }
  int PaperBin() const override { return paperBin_; }
  void SetPaperBin(int bin) override { paperBin_ = bin; }
  void SetPaperSize(int) override {}
  void SetOrientation(int) override {}

 private:
  void FontChanged() override;
  void PrepareToDraw();

  double widthTwips_, heightTwips_;
  int dpi_;
  std::unique_ptr<QPaintDevice> metrics_;
  QImage drawing_;
  QImage finished_;
  QPainter painter_;

  QFont font_;
  int page_ = 1;
  int paperBin_ = 7;
};

}  // namespace corvel
