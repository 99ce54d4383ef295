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
#include <cctype>
#include <cmath>

#include "common/errors.h"
#include "common/number_text.h"
#include "common/text.h"
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

// Slot names lp may receive unquoted: printable ASCII without the characters its option
// parser reads as quoting, escaping or separating values.
bool IsPlainSlotName(std::string_view name) {
  if (name.empty()) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte > ' ' && byte < 0x7F &&
           std::string_view("'\"\\,={}").find(c) == std::string_view::npos;
  });
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiLower(x) == AsciiLower(y);
         });
}

struct CommonSlots {
  int bin;
  std::vector<std::string> names;
};

const std::vector<CommonSlots>& CommonSlotTable() {
  static const std::vector<CommonSlots> table = {
      {1, {"Upper", "Top", "Tray1"}},
      {2, {"Lower", "Bottom", "Tray2"}},
      {3, {"Middle", "Tray3"}},
      {4, {"Manual", "ManualFeed"}},
      {5, {"Envelope"}},
      {8, {"Tractor"}},
      {11, {"LargeCapacity"}},
      {14, {"Cassette", "Tray1"}},
  };
  return table;
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

std::vector<std::string> ParseInputSlots(std::string_view lpoptionsOutput) {
  std::vector<std::string> found;
  std::string_view rest = lpoptionsOutput;
  while (!rest.empty()) {
    const std::size_t lineEnd = std::min(rest.find('\n'), rest.size());
    const std::string_view line = rest.substr(0, lineEnd);
    rest.remove_prefix(std::min(lineEnd + 1, rest.size()));
    // "Keyword/Text: choices" or "Keyword: choices"; the text may hold colons, the
    // choices cannot.
    const std::size_t keywordEnd = line.find_first_of("/:");
    const std::size_t colon = line.rfind(':');
    if (keywordEnd == std::string_view::npos || colon == std::string_view::npos ||
        line.substr(0, keywordEnd) != "InputSlot") {
      continue;
    }
    std::string_view choices = line.substr(colon + 1);
    while (!choices.empty()) {
      const std::size_t start = choices.find_first_not_of(" \t\r");
      if (start == std::string_view::npos) break;
      choices.remove_prefix(start);
      const std::size_t end = std::min(choices.find_first_of(" \t\r"), choices.size());
      std::string_view choice = choices.substr(0, end);
      choices.remove_prefix(end);
      if (!choice.empty() && choice.front() == '*') choice.remove_prefix(1);
      if (IsPlainSlotName(choice)) found.emplace_back(choice);
    }
    break;
  }
  return found;
}

std::vector<std::string> CommonSlotNames(int bin) {
  for (const CommonSlots& row : CommonSlotTable()) {
    if (row.bin == bin) return row.names;
  }
  return {};
}

std::string ChooseInputSlot(int bin, const std::map<int, std::string>& explicitSlots,
                            const std::vector<std::string>& offered) {
  const auto offeredAs = [&](std::string_view name) -> std::string {
    for (const std::string& slot : offered) {
      if (SameNameIgnoringCase(slot, name)) return slot;
    }
    return {};
  };
  if (const auto entry = explicitSlots.find(bin); entry != explicitSlots.end()) {
    return entry->second.empty() ? std::string() : offeredAs(entry->second);
  }
  for (const std::string& name : CommonSlotNames(bin)) {
    if (std::string slot = offeredAs(name); !slot.empty()) return slot;
  }
  return {};
}

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
    throw PrintError("Font size " + GeneralNumber(points) + " is outside 1 to " +
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
  documentBin_ = paperBin_;
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
  if (const std::string slot = InputSlotForDocument(); !slot.empty()) {
    args << "-o" << QStringLiteral("InputSlot=%1").arg(Text(slot));
  }
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

std::string QtPrintSurface::InputSlotForDocument() {
  const auto entry = target_.inputSlots.find(documentBin_);
  const bool decided = entry != target_.inputSlots.end() ? entry->second.empty()
                                                         : CommonSlotNames(documentBin_).empty();
  // Bins that can only mean the default tray need no question to CUPS.
  if (decided) return {};
  return ChooseInputSlot(documentBin_, target_.inputSlots, QueueInputSlots());
}

const std::vector<std::string>& QtPrintSurface::QueueInputSlots() {
  if (!queueSlots_) {
    QStringList args;
    if (!target_.queue.empty()) args << "-p" << Text(target_.queue);
    args << "-l";
    QProcess lpoptions;
    lpoptions.start(QStringLiteral("lpoptions"), args);
    const bool finished = lpoptions.waitForStarted(10000) && lpoptions.waitForFinished(30000);
    if (!finished) {
      lpoptions.kill();
      lpoptions.waitForFinished(5000);
    }
    // A queue whose options cannot be read prints from its default tray.
    queueSlots_ = finished && lpoptions.exitStatus() == QProcess::NormalExit
                      ? ParseInputSlots(lpoptions.readAllStandardOutput().toStdString())
                      : std::vector<std::string>();
  }
  return *queueSlots_;
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
