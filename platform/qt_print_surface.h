#pragma once
// The print surface on QPainter over QPrinter. The painter is scaled so that one unit
// is one twip; fonts are set by pixel size (points x 20) under that scale.
//
// PDF folder: each document is written under a hidden temporary name in the folder and
// renamed to its sortable name (platform/pdf_file_names.h) when EndDoc completes it; a
// file name chosen in the print dialog names the documents instead (the first gets the
// name, later ones "-2", "-3" ... before its extension). A document that was not
// written completely (a full disk, a file size limit) is removed and EndDoc throws.
// CUPS queue: each document is rendered as a PDF on the page the queue reports (its
// default media with its margins; the media chosen in the print dialog; A5/A4 for the
// paper size codes; the target's own size for the user-defined size 256) and sent as
// one job requesting that media, so the printer prints it at full size. Sending is
// done by a QueueSender (platform/cups_queue.h): at once, or from a worker thread when
// the surface is made with a status callback. An abandoned document never reaches
// the printer.
//
// Calibration (target.calibration): the whole page moves by its offsets, and bars are
// drawn on the dot grid of its dpi, or of the resolution the queue reports when no dpi
// is configured (Dots()).
//
// Paper bins use the numbers the programs store (1 upper, 2 lower, 3 middle, 4 manual,
// 5 envelope, 6 envelope manual, 7 automatic, 8 tractor, 9 small format, 10 large
// format, 11 large capacity, 14 cassette, 15 form source; 256 and above are the
// printer's own). On a CUPS queue the bin of a document becomes the queue's tray
// option (see ChooseInputSlot). PaperBin() always returns the number last set.
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
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
#include "platform/cups_queue.h"
#include "platform/twip_text_surface.h"

class QFile;
class QPaintDevice;
class QPdfWriter;

namespace corvel {

class QtPrintSurface : public TwipTextSurface {
 public:
  // `status`, for a queue target: send from a worker thread and report there (see
  // QueueSender); without it documents are sent before EndDoc returns.
  explicit QtPrintSurface(PrinterTarget target, QueueSender::Status status = {},
                          QueueSender::Paper paper = {});
  ~QtPrintSurface() override;

  double TextWidth(std::string_view text) override;
  double TextHeight(std::string_view text) override;
  void Print(std::string_view text, bool lineEnd) override;
  void FillRect(double x1, double y1, double x2, double y2, std::int32_t colour) override;
  DotGrid Dots() const override;
  void NewPage() override;
  void EndDoc() override;
  void AbortDoc() override;
  int Unsent(int waitMs) override;

  double PageWidth() const override;
  double PageHeight() const override;
  int Page() const override { return page_; }
  int PaperBin() const override { return paperBin_; }
  void SetPaperBin(int bin) override;
  void SetPaperSize(int code) override;
  void SetOrientation(int orientation) override;

  // Full path of the last PDF file completed (PDF folder only).
  const QString& LastPdfFile() const { return lastPdfFile_; }

 private:
  // The page of the next document and the media it asks for.
  struct PagePlan {
    QSizeF sizeMm;  // as fed (portrait when landscape is false)
    bool landscape = false;
    QMarginsF marginsMm;
    std::string mediaName;  // the queue's own name for it, when known
  };
  PagePlan PlanPage() const;
  // Sets the printer's page for the next document when a setting changed.
  void ResolvePage() const;
  void FontChanged() override;
  // Begins the document if needed and emits pages requested with NewPage.
  void PrepareToDraw();
  void BeginDocument();
  void FinishPdf();
  void ResetDocumentState();

  PrinterTarget target_;
  std::unique_ptr<QPaintDevice> metrics_;  // the device text is measured on (never written)
  std::unique_ptr<QFile> workDevice_;      // the open document's file
  std::unique_ptr<QPdfWriter> writer_;     // the open document's writer, onto workDevice_
  std::unique_ptr<QueueSender> sender_;    // CUPS queue only
  QPainter painter_;
  QString workFile_;           // the file the open document is written to
  bool staleRemoved_ = false;  // work files of killed runs removed from the folder
  QString lastPdfFile_;
  int documentsWritten_ = 0;

  QFont font_;
  // The fonts used so far with their metrics on the measuring device.
  struct FontKey {
    std::string name;
    int pixelSize;
    bool bold, italic, underline, strikethrough;
    auto operator<=>(const FontKey&) const = default;
  };
  struct MeasuredFont {
    QFont font;
    QFontMetricsF metrics;
  };
  std::map<FontKey, MeasuredFont> fonts_;
  const QFontMetricsF* fontMetrics_ = nullptr;  // font_'s

  double dotsPerTwip_ = 1;   // the painter's scale for text
  bool barsInDots_ = false;  // the painter is unscaled, for bars

  int page_ = 1;
  int pendingPages_ = 0;  // pages asked for with NewPage and not yet started
  bool open_ = false;
  int paperBin_ = 7;
  int documentBin_ = 7;  // the bin when the open document began
  int paperSize_ = 0;    // 0: the target's own page size
  int orientation_ = 0;  // 0: the target's own orientation
  mutable bool pageResolved_ = false;
  mutable PagePlan pagePlan_;
  mutable QPageLayout layout_;
  mutable std::optional<double> queueDpi_;  // the queue's own resolution, once known
};

}  // namespace corvel
