#pragma once
// The quiet-zone check shared by "corvel doctor" and the station's layout editor: a label
// or sheet is drawn on a surface that only measures (texts with the real fonts' metrics,
// bars as boxes), then every symbol's quiet zones are checked for texts, other bars and the
// page edge: 11 modules left and 7 right of an EAN-13, 7 and 7 of an EAN-8, 9 and 7 of a
// UPC-E.
#include <memory>
#include <string>
#include <vector>

#include "common/print_surface.h"

namespace corvel {

// A box on one page, in twips.
struct DrawnBox {
  int page = 1;
  double left = 0, top = 0, right = 0, bottom = 0;
  std::string text;  // empty for a filled rectangle
};

// Records what is drawn; fonts and text sizes are measured on `metrics` (never drawn).
class MeasuringSurface : public PrintSurface {
 public:
  explicit MeasuringSurface(std::unique_ptr<PrintSurface> metrics);

  void SetFontName(std::string_view name) override { metrics_->SetFontName(name); }
  std::string FontName() const override { return metrics_->FontName(); }
  void SetFontSize(double points) override { metrics_->SetFontSize(points); }
  double FontSize() const override { return metrics_->FontSize(); }
  void SetBold(bool on) override { metrics_->SetBold(on); }
  bool Bold() const override { return metrics_->Bold(); }
  void SetItalic(bool on) override { metrics_->SetItalic(on); }
  void SetUnderline(bool on) override { metrics_->SetUnderline(on); }
  void SetStrikethrough(bool on) override { metrics_->SetStrikethrough(on); }
  void SetTextColor(std::int32_t) override {}
  double CurrentX() const override { return x_; }
  double CurrentY() const override { return y_; }
  void SetCurrentX(double x) override { x_ = x; }
  void SetCurrentY(double y) override { y_ = y; }
  double TextWidth(std::string_view text) override { return metrics_->TextWidth(text); }
  double TextHeight(std::string_view text) override { return metrics_->TextHeight(text); }
  void Print(std::string_view text, bool lineEnd) override;
  void FillRect(double x1, double y1, double x2, double y2, std::int32_t colour) override;
  DotGrid Dots() const override { return metrics_->Dots(); }
  void NewPage() override { ++page_; }
  void EndDoc() override { page_ = 1; }
  void AbortDoc() override { page_ = 1; }
  double PageWidth() const override { return metrics_->PageWidth(); }
  double PageHeight() const override { return metrics_->PageHeight(); }
  int Page() const override { return page_; }
  int PaperBin() const override { return metrics_->PaperBin(); }
  void SetPaperBin(int bin) override { metrics_->SetPaperBin(bin); }
  void SetPaperSize(int code) override { metrics_->SetPaperSize(code); }
  void SetOrientation(int orientation) override { metrics_->SetOrientation(orientation); }

  const std::vector<DrawnBox>& Boxes() const { return boxes_; }

 private:
  std::unique_ptr<PrintSurface> metrics_;
  std::vector<DrawnBox> boxes_;
  double x_ = 0, y_ = 0;
  int page_ = 1;
};

// One intrusion: which symbol (1 first, in drawing order), which side, what intrudes
// ("text \"1.235 kg\"", "a bar or line" or "the page edge"), and how far the clear space reaches in
// modules of the symbol and in millimetres, against the modules asked for.
struct QuietZoneIntrusion {
  int symbol = 0;
  int page = 1;
  bool left = true;
  std::string what;
  double clearModules = 0, clearMm = 0;
  int wantedModules = 0;
  std::string Describe() const;
};

// The intrusions on everything drawn, with the page width the drawing had; `symbols`
// receives the number of symbols found, `modules` (when given) each symbol's module
// width in twips, as drawn.
std::vector<QuietZoneIntrusion> FindQuietZoneIntrusions(const std::vector<DrawnBox>& boxes,
                                                        double pageWidth, int* symbols,
                                                        std::vector<double>* modules = nullptr);

}  // namespace corvel
