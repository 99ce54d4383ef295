#include "platform/qt_print_surface.h"
#include "common/units.h"

#include <unistd.h>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <csignal>
#include <cstdio>

#include "common/errors.h"
#include "common/number_text.h"
#include "common/text.h"
#include "platform/pdf_compression.h"
#include "platform/pdf_file_names.h"
#include "platform/printing.h"
#include "platform/qt_text.h"
#include "platform/twip_text.h"
#include "platform/work_file.h"

namespace corvel {
namespace {

constexpr int kResolutionDpi = 1200;  // as a high-resolution QPrinter writes PDF

}  // namespace

QtPrintSurface::QtPrintSurface(PrinterTarget target, QueueSender::Status status,
                               QueueSender::Paper paper)
    : target_(std::move(target)), metrics_(MakeTextMetricsDevice()) {
  // A file size limit then shows as a write error, reported as such, instead of ending
  // the program.
  static const bool xfszIgnored = (std::signal(SIGXFSZ, SIG_IGN), true);
  (void)xfszIgnored;
  // Every document is a PDF, written by QPdfWriter: into the folder, or sent to the
  // queue as one. (QPrinter is not used: it asks the print server for its default
  // printer without any time limit.)
  if (target_.kind == PrinterTarget::Kind::CupsQueue) {
    sender_ = std::make_unique<QueueSender>(target_, std::move(status), std::move(paper));
  }
  SetUpFonts();  // so that "Tahoma" is the real face whoever made the surface
  CompressPdfFast();
  FontChanged();
}

QtPrintSurface::~QtPrintSurface() {
  // A document still open here was never completed: it is not sent.
  if (open_) {
    painter_.end();
    writer_.reset();
    workDevice_.reset();
    QFile::remove(workFile_);
  }
}

QtPrintSurface::PagePlan QtPrintSurface::PlanPage() const {
  const bool queue = target_.kind == PrinterTarget::Kind::CupsQueue;
  const bool haveOwnSize = target_.pageWidthMm > 0 && target_.pageHeightMm > 0;
  const QSizeF ownSize(target_.pageWidthMm, target_.pageHeightMm);
  // Paper size codes are the programs' stored numbers (9 A4, 11 A5, 1 Letter, ...);
  // 256 and codes Qt does not know mean the target's own size.
  const QPageSize::PageSizeId known =
      paperSize_ > 0 && paperSize_ != kPaperUser ? QPageSize::id(paperSize_) : QPageSize::Custom;
  PagePlan plan;
  plan.landscape = orientation_ == kLandscape || (orientation_ == 0 && !queue && target_.landscape);
  if (known != QPageSize::Custom) {
    plan.sizeMm = QPageSize(known).size(QPageSize::Millimeter);
  } else if (!queue || (paperSize_ == kPaperUser && haveOwnSize)) {
    plan.sizeMm = haveOwnSize ? ownSize : QPageSize(QPageSize::A4).size(QPageSize::Millimeter);
  } else if (target_.mediaWidthMm > 0 && target_.mediaHeightMm > 0) {
    plan.sizeMm = QSizeF(target_.mediaWidthMm, target_.mediaHeightMm);
  } else if (const std::optional<QueueMedia> media = sender_->DefaultMedia()) {
    plan.sizeMm = QSizeF(media->widthMm, media->heightMm);
    plan.marginsMm = QMarginsF(media->leftMm, media->topMm, media->rightMm, media->bottomMm);
    plan.mediaName = media->name;
  } else {
    // The queue has not answered yet (a background sender): the target's own size,
    // requested by size when the document is sent.
    plan.sizeMm = haveOwnSize ? ownSize : QPageSize(QPageSize::A4).size(QPageSize::Millimeter);
  }
  return plan;
}

void QtPrintSurface::ResolvePage() const {
  if (pageResolved_ || open_) return;
  pagePlan_ = PlanPage();
  // The painter's origin is the corner of the printable area (inside the margins).
  layout_ = QPageLayout(
      QPageSize(pagePlan_.sizeMm, QPageSize::Millimeter, QString(), QPageSize::ExactMatch),
      pagePlan_.landscape ? QPageLayout::Landscape : QPageLayout::Portrait, pagePlan_.marginsMm,
      QPageLayout::Millimeter);
  pageResolved_ = true;
}

void QtPrintSurface::FontChanged() {
  const TwipFontChoice choice = Choice();
  const FontKey key{
      std::string(choice.name), TwipPixelSize(choice.points), choice.bold, choice.italic,
      choice.underline,         choice.strikethrough};
  auto found = fonts_.find(key);
  if (found == fonts_.end()) {
    // Labels switch between a few fonts all the time; a font kept keeps its resolved face
    // and metrics. The bound keeps a search through many sizes from holding them all.
    if (fonts_.size() >= 64) fonts_.clear();
    const QFont font = TwipFont(choice);
    found = fonts_.emplace(key, MeasuredFont{font, QFontMetricsF(font, metrics_.get())}).first;
  }
  font_ = found->second.font;
  fontMetrics_ = &found->second.metrics;
}

double QtPrintSurface::TextWidth(std::string_view text) {
  return fontMetrics_->horizontalAdvance(ToQString(text));
}

double QtPrintSurface::TextHeight(std::string_view) {
  return fontMetrics_->lineSpacing();
}

void QtPrintSurface::Print(std::string_view text, bool lineEnd) {
  PrepareToDraw();
  PaintText(painter_, font_, *fontMetrics_, text, lineEnd);
}

void QtPrintSurface::FillRect(double x1, double y1, double x2, double y2, std::int32_t colour) {
  PrepareToDraw();
  PaintTwipRect(painter_, x1, y1, x2, y2, colour);
}

PrintSurface::DotGrid QtPrintSurface::Dots() const {
  const Calibration& calibration = target_.calibration;
  DotGrid grid;
  grid.dpi = calibration.dpi;
  if (grid.dpi <= 0 && sender_) {
    // Asked of the queue once; a background sender answers only once it has heard.
    if (!queueDpi_) {
      try {
        if (const std::optional<QueueMedia> media = sender_->DefaultMedia()) queueDpi_ = media->dpi;
      } catch (const std::exception&) {
        queueDpi_ = 0;  // sending the document will say what is wrong
      }
    }
    grid.dpi = queueDpi_.value_or(0);
  }
  if (grid.dpi <= 0) return {};
  ResolvePage();
  // The head's dots start at the paper's edge; the surface's origin is the printable
  // area's corner, moved by the offset.
  const double dot = TwipsPerDot(grid.dpi);
  const double left =
      layout_.paintRect(QPageLayout::Millimeter).left() * kTwipsPerMm + calibration.offsetX;
  grid.originX = std::fmod(-left, dot);
  grid.barReduction = calibration.barReduction;
  return grid;
}

void QtPrintSurface::NewPage() {
  ++page_;
  ++pendingPages_;
}

void QtPrintSurface::PrepareToDraw() {
  if (!open_) BeginDocument();
  // Pages asked for are started only when something is drawn on them, so a new page
  // requested right after the last drawing leaves no blank page.
  for (; pendingPages_ > 0; --pendingPages_) {
    if (!writer_->newPage()) throw PrintError("Cannot start a new page on " + target_.Describe());
  }
}

void QtPrintSurface::BeginDocument() {
  documentBin_ = paperBin_;
  pageResolved_ = false;  // a background sender may have learnt the queue's media since
  ResolvePage();
  QString folder;
  if (target_.kind == PrinterTarget::Kind::PdfFolder) {
    folder = ToQString(target_.pdfFolder);
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
      throw PrintError("Cannot create the PDF folder \"" + target_.pdfFolder + "\"");
    }
  } else {
    folder = QDir::tempPath();
  }
  if (!staleRemoved_) {
    staleRemoved_ = true;
    RemoveStaleWorkFiles(folder);
  }
  workDevice_ = CreateWorkFile(folder, workFile_);
  writer_ = std::make_unique<QPdfWriter>(workDevice_.get());
  writer_->setResolution(kResolutionDpi);
  writer_->setCreator(ToQString(target_.program));
  if (!writer_->setPageLayout(layout_) || !painter_.begin(writer_.get())) {
    writer_.reset();
    workDevice_.reset();
    QFile::remove(workFile_);
    throw PrintError("Cannot start printing on " + target_.Describe());
  }
  const double scale = writer_->resolution() / kTwipsPerInch;
  painter_.scale(scale, scale);
  const Calibration& calibration = target_.calibration;
  if (calibration.offsetX != 0 || calibration.offsetY != 0)
    painter_.translate(calibration.offsetX, calibration.offsetY);
  painter_.setRenderHint(QPainter::Antialiasing, false);
  open_ = true;
}

namespace {

// True when `file` holds a whole PDF document: it ends with the end-of-file marker the
// writer puts last, so a write cut short by a full disk or a size limit is caught.
bool IsCompletePdf(const QString& file) {
  QFile pdf(file);
  if (!pdf.open(QIODevice::ReadOnly) || pdf.size() < 64) return false;
  pdf.seek(pdf.size() - 32);
  return pdf.read(32).contains("%%EOF");
}

}  // namespace

void QtPrintSurface::EndDoc() {
  if (!open_) {
    ResetDocumentState();
    return;
  }
  bool ended = painter_.end();
  writer_.reset();
  // Every write of the document must have reached the file.
  ended = workDevice_->flush() && workDevice_->error() == QFileDevice::NoError && ended;
  workDevice_.reset();  // closes the file
  open_ = false;
  ResetDocumentState();
  if (!ended || !IsCompletePdf(workFile_)) {
    QFile::remove(workFile_);
    throw PrintError("Cannot complete the document on " + target_.Describe() +
                     ": it was not written completely (is the disk full?)");
  }
  if (target_.kind == PrinterTarget::Kind::PdfFolder) {
    FinishPdf();
    return;
  }
  QueueJob job;
  job.pdfFile = workFile_.toStdString();
  job.title = target_.program.empty() ? "document" : target_.program;
  job.copies = std::max(1, target_.copies);
  job.media = pagePlan_.mediaName;
  job.mediaWidthMm = pagePlan_.sizeMm.width();
  job.mediaHeightMm = pagePlan_.sizeMm.height();
  job.paperBin = documentBin_;
  sender_->Send(std::move(job));
}

void QtPrintSurface::FinishPdf() {
  const QDir folder(ToQString(target_.pdfFolder));
  if (!target_.pdfFile.empty()) {
    // The file chosen in the print dialog, numbered after it for later documents.
    const QFileInfo chosen(ToQString(target_.pdfFile));
    QString path = chosen.absoluteFilePath();
    if (documentsWritten_ > 0) {
      const QString suffix = chosen.suffix().isEmpty() ? QString() : "." + chosen.suffix();
      path = chosen.absolutePath() + "/" + chosen.completeBaseName() + "-" +
             QString::number(documentsWritten_ + 1) + suffix;
    }
    if (std::rename(QFile::encodeName(workFile_).constData(),
                    QFile::encodeName(path).constData()) == 0) {
      ++documentsWritten_;
      lastPdfFile_ = path;
      return;
    }
    QFile::remove(workFile_);
    throw PrintError("Cannot write the PDF file " + path.toStdString());
  }
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const QString path = folder.filePath(ToQString(NextPdfFileName(target_.program)));
    // QFile::rename never replaces an existing file: a name taken by another process
    // is skipped for the next one.
    if (QFile::rename(workFile_, path)) {
      lastPdfFile_ = path;
      ++documentsWritten_;
      if (target_.fallback) {
        // Once per program: where the documents of a machine without a printer went.
        static bool told = false;
        if (!told) {
          told = true;
          std::fprintf(stderr, "%s: no printer on this machine; documents go to %s\n",
                       target_.program.c_str(), target_.pdfFolder.c_str());
        }
      }
      return;
    }
    if (!QFile::exists(path)) break;
  }
  QFile::remove(workFile_);
  throw PrintError("Cannot write the PDF file in " + target_.pdfFolder);
}

void QtPrintSurface::AbortDoc() {
  if (open_) {
    painter_.end();
    writer_.reset();
    workDevice_.reset();
    open_ = false;
    QFile::remove(workFile_);
  }
  ResetDocumentState();
}

int QtPrintSurface::Unsent(int waitMs) {
  return sender_ ? sender_->Finish(std::chrono::milliseconds(waitMs)) : 0;
}

void QtPrintSurface::ResetDocumentState() {
  page_ = 1;
  pendingPages_ = 0;
  ResetCursor();
}

double QtPrintSurface::PageWidth() const {
  ResolvePage();
  return layout_.paintRect(QPageLayout::Millimeter).width() * kTwipsPerMm;
}

double QtPrintSurface::PageHeight() const {
  ResolvePage();
  return layout_.paintRect(QPageLayout::Millimeter).height() * kTwipsPerMm;
}

void QtPrintSurface::SetPaperBin(int bin) {
  paperBin_ = bin;
}

void QtPrintSurface::SetPaperSize(int code) {
  paperSize_ = code;
  pageResolved_ = false;
}

void QtPrintSurface::SetOrientation(int orientation) {
  orientation_ = orientation;
  pageResolved_ = false;
}

}  // namespace corvel
