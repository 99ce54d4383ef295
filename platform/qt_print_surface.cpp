#include "platform/qt_print_surface.h"

#include <unistd.h>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QTemporaryFile>
#include <algorithm>
#include <cmath>

#include "common/errors.h"
#include "platform/pdf_file_names.h"
#include "platform/printing.h"

namespace corvel {
namespace {

constexpr double kTwipsPerPoint = 20;
constexpr double kTwipsPerMm = 1440 / 25.4;

QColor ColourFromBgr(std::int32_t colour) {
  return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

QPrinter::PaperSource PaperSourceForBin(int bin) {
  switch (bin) {
    case 1:
      return QPrinter::Upper;
    case 2:
      return QPrinter::Lower;
    case 3:
      return QPrinter::Middle;
    case 4:
      return QPrinter::Manual;
    case 5:
      return QPrinter::Envelope;
    case 6:
      return QPrinter::EnvelopeManual;
    case 7:
      return QPrinter::Auto;
    case 8:
      return QPrinter::Tractor;
    case 9:
      return QPrinter::SmallFormat;
    case 10:
      return QPrinter::LargeFormat;
    case 11:
      return QPrinter::LargeCapacity;
    case 14:
      return QPrinter::Cassette;
    case 15:
      return QPrinter::FormSource;
    default:
      return QPrinter::CustomSource;
  }
}

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A unique hidden name for a document being written into `folder`.
QString WorkFileName(const QString& folder) {
  static int counter = 0;
  return QDir(folder).filePath(QStringLiteral(".document-%1-%2.partial")
                                   .arg(static_cast<long long>(getpid()))
                                   .arg(++counter));
}

}  // namespace

QtPrintSurface::QtPrintSurface(PrinterTarget target)
    : target_(std::move(target)), printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
  if (target_.kind == PrinterTarget::Kind::PdfFolder) {
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setFullPage(true);
  } else if (!target_.queue.empty()) {
    printer_->setPrinterName(Text(target_.queue));
  }
  ApplyPageLayout();
  SetUpFonts();  // so that "Tahoma" is the real face whoever made the surface
  UpdateFont();
}

QtPrintSurface::~QtPrintSurface() {
  // A document still open here was never completed: it is not sent.
  if (open_) {
    painter_.end();
    QFile::remove(workFile_);
  }
}

void QtPrintSurface::ApplyPageLayout() {
  const bool pdf = target_.kind == PrinterTarget::Kind::PdfFolder;
  const bool haveOwnSize = target_.pageWidthMm > 0 && target_.pageHeightMm > 0;
  const QPageSize ownSize(QSizeF(target_.pageWidthMm, target_.pageHeightMm), QPageSize::Millimeter,
                          QString(), QPageSize::ExactMatch);
  // Paper size codes are the programs' stored numbers (9 A4, 11 A5, 1 Letter, ...);
  // 256 and codes Qt does not know mean the target's own size.
  const QPageSize::PageSizeId known =
      paperSize_ > 0 && paperSize_ != kPaperUser ? QPageSize::id(paperSize_) : QPageSize::Custom;
  if (known != QPageSize::Custom) {
    printer_->setPageSize(QPageSize(known));
  } else if (pdf) {
    printer_->setPageSize(haveOwnSize ? ownSize : QPageSize(QPageSize::A4));
  } else if (paperSize_ == kPaperUser && haveOwnSize) {
    printer_->setPageSize(ownSize);
  }
  if (orientation_ == kLandscape || (orientation_ == 0 && pdf && target_.landscape)) {
    printer_->setPageOrientation(QPageLayout::Landscape);
  } else if (orientation_ == kPortrait || pdf) {
    printer_->setPageOrientation(QPageLayout::Portrait);
  }
  if (pdf) printer_->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
  printer_->setPaperSource(PaperSourceForBin(paperBin_));
}

void QtPrintSurface::UpdateFont() {
  font_ = QFont(Text(fontName_));
  font_.setPixelSize(std::max(1, static_cast<int>(std::lround(fontSize_ * kTwipsPerPoint))));
  font_.setBold(bold_);
  font_.setItalic(italic_);
  font_.setUnderline(underline_);
  font_.setStrikeOut(strikethrough_);
  // Unhinted outlines so that measuring and drawing agree at every size.
  font_.setHintingPreference(QFont::PreferNoHinting);
}

void QtPrintSurface::SetFontName(std::string_view name) {
  fontName_ = std::string(name);
  UpdateFont();
}

void QtPrintSurface::SetFontSize(double points) {
  if (!(points >= 1 && points <= kLargestFontSize)) {
    throw PrintError("Font size " + std::to_string(points) + " is outside 1 to " +
                     std::to_string(static_cast<int>(kLargestFontSize)) + " points");
  }
  fontSize_ = points;
  UpdateFont();
}

void QtPrintSurface::SetBold(bool on) {
  bold_ = on;
  UpdateFont();
}

void QtPrintSurface::SetItalic(bool on) {
  italic_ = on;
  UpdateFont();
}

void QtPrintSurface::SetUnderline(bool on) {
  underline_ = on;
  UpdateFont();
}

void QtPrintSurface::SetStrikethrough(bool on) {
  strikethrough_ = on;
  UpdateFont();
}

double QtPrintSurface::TextWidth(std::string_view text) {
  return QFontMetricsF(font_, printer_.get()).horizontalAdvance(Text(text));
}

double QtPrintSurface::TextHeight(std::string_view) {
  return QFontMetricsF(font_, printer_.get()).lineSpacing();
}

void QtPrintSurface::Print(std::string_view text, bool lineEnd) {
  PrepareToDraw();
  const QString line = Text(text);
  const QFontMetricsF metrics(font_, printer_.get());
  painter_.setFont(font_);
  painter_.setPen(ColourFromBgr(textColour_));
  if (!line.isEmpty()) painter_.drawText(QPointF(x_, y_ + metrics.ascent()), line);
  if (lineEnd) {
    x_ = 0;
    y_ += metrics.lineSpacing();
  } else {
    x_ += metrics.horizontalAdvance(line);
  }
}

void QtPrintSurface::FillRect(double x1, double y1, double x2, double y2, std::int32_t colour) {
  PrepareToDraw();
  const QRectF box = QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized();
  if (box.isEmpty()) return;
  painter_.fillRect(box, ColourFromBgr(colour));
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
    if (!printer_->newPage()) throw PrintError("Cannot start a new page on " + target_.Describe());
  }
}

void QtPrintSurface::BeginDocument() {
  ApplyPageLayout();
  if (target_.kind == PrinterTarget::Kind::PdfFolder) {
    const QString folder = Text(target_.pdfFolder);
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
      throw PrintError("Cannot create the PDF folder \"" + target_.pdfFolder + "\"");
    }
    workFile_ = WorkFileName(folder);
  } else {
    const QPrinterInfo queue = target_.queue.empty()
                                   ? QPrinterInfo::defaultPrinter()
                                   : QPrinterInfo::printerInfo(Text(target_.queue));
    if (queue.isNull() || printer_->outputFormat() != QPrinter::NativeFormat) {
      throw PrintError("Cannot print: " + target_.Describe() + " is not available");
    }
    QTemporaryFile file(QDir::temp().filePath("corvel-job-XXXXXX.prn"));
    if (!file.open()) throw PrintError("Cannot create a temporary print file");
    file.setAutoRemove(false);
    workFile_ = file.fileName();
  }
  printer_->setOutputFileName(workFile_);
  if (!painter_.begin(printer_.get())) {
    QFile::remove(workFile_);
    throw PrintError("Cannot start printing on " + target_.Describe());
  }
  const double scale = printer_->resolution() / 1440.0;
  painter_.scale(scale, scale);
  painter_.setRenderHint(QPainter::Antialiasing, false);
  open_ = true;
}

void QtPrintSurface::EndDoc() {
  if (!open_) {
    ResetDocumentState();
    return;
  }
  const bool ended = painter_.end();
  open_ = false;
  ResetDocumentState();
  if (!ended) {
    QFile::remove(workFile_);
    throw PrintError("Cannot complete the document on " + target_.Describe());
  }
  if (target_.kind == PrinterTarget::Kind::PdfFolder) {
    FinishPdf();
  } else {
    SubmitToQueue();
  }
}

void QtPrintSurface::FinishPdf() {
  const QDir folder(Text(target_.pdfFolder));
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const QString path = folder.filePath(Text(NextPdfFileName(target_.program)));
    // QFile::rename never replaces an existing file: a name taken by another process
    // is skipped for the next one.
    if (QFile::rename(workFile_, path)) {
      lastPdfFile_ = path;
      return;
    }
    if (!QFile::exists(path)) break;
  }
  QFile::remove(workFile_);
  throw PrintError("Cannot write the PDF file in " + target_.pdfFolder);
}

void QtPrintSurface::SubmitToQueue() {
  QStringList args;
  if (!target_.queue.empty()) args << "-d" << Text(target_.queue);
  args << "-n" << QString::number(std::max(1, target_.copies));
  args << "-t" << (target_.program.empty() ? QStringLiteral("document") : Text(target_.program));
  args << "--" << workFile_;
  QProcess lp;
  lp.start(QStringLiteral("lp"), args);
  const bool finished = lp.waitForStarted(10000) && lp.waitForFinished(60000);
  const bool sent = finished && lp.exitStatus() == QProcess::NormalExit && lp.exitCode() == 0;
  const QString error = QString::fromLocal8Bit(lp.readAllStandardError()).trimmed();
  QFile::remove(workFile_);
  if (!sent) {
    throw PrintError("Cannot send the document to " + target_.Describe() +
                     (error.isEmpty() ? std::string() : ": " + error.toStdString()));
  }
}

void QtPrintSurface::AbortDoc() {
  if (open_) {
    painter_.end();
    open_ = false;
    QFile::remove(workFile_);
  }
  ResetDocumentState();
}

void QtPrintSurface::ResetDocumentState() {
  page_ = 1;
  pendingPages_ = 0;
  x_ = 0;
  y_ = 0;
}

double QtPrintSurface::PageWidth() const {
  return printer_->pageLayout().paintRect(QPageLayout::Millimeter).width() * kTwipsPerMm;
}

double QtPrintSurface::PageHeight() const {
  return printer_->pageLayout().paintRect(QPageLayout::Millimeter).height() * kTwipsPerMm;
}

void QtPrintSurface::SetPaperBin(int bin) {
  paperBin_ = bin;
  if (!open_) ApplyPageLayout();
}

void QtPrintSurface::SetPaperSize(int code) {
  paperSize_ = code;
  if (!open_) ApplyPageLayout();
}

void QtPrintSurface::SetOrientation(int orientation) {
  orientation_ = orientation;
  if (!open_) ApplyPageLayout();
}

}  // namespace corvel
