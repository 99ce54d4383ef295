#pragma once
// The print surface on QPainter over QPrinter. The painter is scaled so that one unit
// is one twip; fonts are set by pixel size (points x 20) under that scale.
//
// PDF folder: each document is written under a hidden temporary name in the folder and
// renamed to its sortable name (platform/pdf_file_names.h) when EndDoc completes it.
// CUPS queue: the document is rendered on the queue's page layout into a temporary file
// and handed to the queue with `lp` when EndDoc completes it (copies as a job option),
// so an abandoned document never reaches the printer.
//
// Paper bins use the numbers the programs store (1 upper, 2 lower, 3 middle, 4 manual,
// 5 envelope, 6 envelope manual, 7 automatic, 8 tractor, 9 small format, 10 large
// format, 11 large capacity, 14 cassette, 15 form source; 256 and above are the
// printer's own). Qt does not pass a paper source on to CUPS, so on a CUPS queue the
// bin of a document becomes the queue's InputSlot option on the lp command (see
// ChooseInputSlot). PaperBin() always returns the number last set.
#include <QFont>
#include <QPainter>
#include <QString>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/print_surface.h"
#include "common/printer_target.h"

class QPrinter;

namespace corvel {

// The InputSlot choices of a queue from the output of `lpoptions -l`, the line
// "InputSlot/Media Source: *Auto Tray1 Tray2" (the '*' marks the default). Empty when
// the queue has no such option. Choices holding characters that lp would read as
// quoting or separators are left out.
std::vector<std::string> ParseInputSlots(std::string_view lpoptionsOutput);

// The queue's common slot names for a standard bin number, in order of preference:
//   1 upper: Upper, Top, Tray1        2 lower: Lower, Bottom, Tray2
//   3 middle: Middle, Tray3           4 manual: Manual, ManualFeed
//   5 envelope: Envelope              8 tractor: Tractor
//   11 large capacity: LargeCapacity  14 cassette: Cassette, Tray1
// Other numbers (7 automatic among them) have none.
std::vector<std::string> CommonSlotNames(int bin);

// The InputSlot to request for `bin` on a queue offering `offered`, or "" for no option
// (the queue's default tray):
// 1. an entry for the bin in `explicitSlots` decides alone: its choice when the queue
//    offers it, else no option (an empty entry asks for the default tray);
// 2. otherwise the first of CommonSlotNames(bin) the queue offers;
// 3. otherwise no option.
// Names match in any letter case; the result is spelt as the queue spells it.
std::string ChooseInputSlot(int bin, const std::map<int, std::string>& explicitSlots,
                            const std::vector<std::string>& offered);

class QtPrintSurface : public PrintSurface {
 public:
  explicit QtPrintSurface(PrinterTarget target);
  ~QtPrintSurface() override;

  void SetFontName(std::string_view name) override;
  std::string FontName() const override { return fontName_; }
  void SetFontSize(double points) override;
  double FontSize() const override { return fontSize_; }
  void SetBold(bool on) override;
  bool Bold() const override { return bold_; }
  void SetItalic(bool on) override;
  void SetUnderline(bool on) override;
  void SetStrikethrough(bool on) override;
  void SetTextColor(std::int32_t colour) override { textColour_ = colour; }

  double CurrentX() const override { return x_; }
  double CurrentY() const override { return y_; }
  void SetCurrentX(double x) override { x_ = x; }
  void SetCurrentY(double y) override { y_ = y; }

  double TextWidth(std::string_view text) override;
  double TextHeight(std::string_view text) override;
  void Print(std::string_view text, bool lineEnd) override;
  void FillRect(double x1, double y1, double x2, double y2, std::int32_t colour) override;
  void NewPage() override;
  void EndDoc() override;
  void AbortDoc() override;

  double PageWidth() const override;
  double PageHeight() const override;
  int Page() const override { return page_; }
  int PaperBin() const override { return paperBin_; }
  void SetPaperBin(int bin) override;
  void SetPaperSize(int code) override;
  void SetOrientation(int orientation) override;

  // The font as it is drawn (pixel size in twips).
  const QFont& CurrentFont() const { return font_; }
  // Full path of the last PDF file completed (PDF folder only).
  const QString& LastPdfFile() const { return lastPdfFile_; }

 private:
  void ApplyPageLayout();
  void UpdateFont();
  // Begins the document if needed and emits pages requested with NewPage.
  void PrepareToDraw();
  void BeginDocument();
  void FinishPdf();
  void SubmitToQueue();
  // The InputSlot for the document's bin on the target queue ("" for none).
  std::string InputSlotForDocument();
  // The queue's InputSlot choices, asked of CUPS once per surface.
  const std::vector<std::string>& QueueInputSlots();
  void ResetDocumentState();

  PrinterTarget target_;
  std::unique_ptr<QPrinter> printer_;
  QPainter painter_;
  QString workFile_;  // the file the open document is written to
  QString lastPdfFile_;

  std::string fontName_ = "Arial";
  double fontSize_ = 10;
  bool bold_ = false, italic_ = false, underline_ = false, strikethrough_ = false;
  std::int32_t textColour_ = 0;
  QFont font_;

  double x_ = 0, y_ = 0;
  int page_ = 1;
  int pendingPages_ = 0;  // pages asked for with NewPage and not yet started
  bool open_ = false;
  int paperBin_ = 7;
  int documentBin_ = 7;  // the bin when the open document began
  std::optional<std::vector<std::string>> queueSlots_;
  int paperSize_ = 0;    // 0: the target's own page size
  int orientation_ = 0;  // 0: the target's own orientation
};

}  // namespace corvel
